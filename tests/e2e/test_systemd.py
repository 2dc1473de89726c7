"""The .deb under a real systemd: a minimal Debian of this machine's release
booted with systemd-nspawn from the test's own folder, the package installed
and set up there as the README says, then run, killed, reinstalled,
rotated, stopped, removed and purged."""
import os
import pathlib
import re
import shutil
import signal
import subprocess
import time

import pytest

from conftest import ROOT
from test_package import deb_path

# the whole run, and the bounds of the waits within it
RUN_LIMIT = 300
BOOT_LIMIT = 60
RESTART_LIMIT = 15
SETTINGS = "/etc/loadhawk"
LOG = f"{SETTINGS}/loadhawk_log.txt"
METRICS = "/var/lib/prometheus/node-exporter/loadhawk.prom"
MAIL = "/root/mail/new"
DEB = "/root/loadhawk.deb"
AS_USER = "setpriv --reuid=loadhawk --regid=loadhawk --init-groups"
# figures that hold whatever the load: CPU is always at or below 100%,
# memory always at or above 1%; each fires every one-second cycle
SETUP_EDITS = {"interval": "1", "memhighthreshold": "1", "memhighnum": "1",
               "cpulowthreshold": "100", "cpulownum": "1", "metricsfile": METRICS}
EMAIL_EDITS = {"server": "smtp://127.0.0.1:2525", "sendtimeout": "20"}


def cgroup_hierarchies():
    base = pathlib.Path("/sys/fs/cgroup")
    if (base / "cgroup.controllers").exists():
        return [base]
    return [base / name for name in ("systemd", "unified") if (base / name / "cgroup.procs").exists()]


def edits(values):
    """sed expressions that set each key (switched on) to its value."""
    return " ".join(f"-e 's|^[*]*{key} : .*|{key} : \"{value}\"|'" for key, value in values.items())


class Container:
    """A container booted with systemd as its PID 1, started from cgroups of
    the test's own, ended by pid and cleaned up by path."""

    def __init__(self, tmp_path, tarball):
        self.deadline = time.monotonic() + RUN_LIMIT
        self.root = tmp_path / "root"
        self.console = tmp_path / "console.log"
        self.name = f"loadhawk-test-{os.getpid()}"
        self.cgroups = [h / self.name for h in cgroup_hierarchies()]
        self.nspawn = None
        self.pid1 = None
        self.root.mkdir()
        subprocess.run(["tar", "-C", str(self.root), "--numeric-owner", "-xf", str(tarball)],
                       check=True, timeout=self.left(120))

    def left(self, limit):
        """A wait's bound: its own limit, cut to what the whole run has left."""
        remaining = self.deadline - time.monotonic()
        assert remaining > 1, "the systemd test ran out of time"
        return min(limit, remaining)

    def cgroup_pids(self):
        pids = set()
        for group in self.cgroups:
            for procs in (group.rglob("cgroup.procs") if group.exists() else ()):
                pids |= {int(p) for p in procs.read_text().split()}
        return pids

    def find_pid1(self):
        for pid in self.cgroup_pids():
            try:
                status = pathlib.Path(f"/proc/{pid}/status").read_text()
            except OSError:
                continue
            nspid = re.search(r"^NSpid:\s+(.*)$", status, re.M).group(1).split()
            if len(nspid) > 1 and nspid[-1] == "1":
                return pid
        return None

    def boot(self):
        for group in self.cgroups:
            group.mkdir()
        # the shell moves itself into the new cgroups before it becomes
        # nspawn, so nspawn and everything it leaves behind stay in them
        command = ["systemd-nspawn", "-D", str(self.root), "--boot", "--register=no", "--keep-unit",
                   "--private-network", f"--machine={self.name}", "--console=read-only"]
        script = 'for g in $CGROUPS; do echo $$ > "$g/cgroup.procs"; done; exec "$@"'
        with open(self.console, "wb") as console:
            self.nspawn = subprocess.Popen(
                ["sh", "-c", script, "sh", *command], stdin=subprocess.DEVNULL, stdout=console,
                stderr=subprocess.STDOUT, start_new_session=True,
                env=dict(os.environ, CGROUPS=" ".join(map(str, self.cgroups))))
        end = time.monotonic() + self.left(BOOT_LIMIT)
        while self.pid1 is None and self.nspawn.poll() is None and time.monotonic() < end:
            time.sleep(0.1)
            self.pid1 = self.find_pid1()
        if self.pid1 is None:
            output = self.console.read_text(errors="replace")[-2000:]
            if self.nspawn.poll() is not None and os.environ.get("LOADHAWK_REQUIRE_SYSTEMD") != "1":
                pytest.skip(f"systemd-nspawn refused to boot a container here: {output}")
            pytest.fail(f"no container PID 1 within {BOOT_LIMIT} s: {output}")
        # up once its systemd says so (before that, its bus may not answer)
        self.wait("systemctl is-system-running | grep -qx -e running -e degraded", BOOT_LIMIT)

    def sh(self, script, check=True, limit=60):
        """Runs a shell script inside, as root, in / with a plain environment."""
        r = subprocess.run(["nsenter", "-t", str(self.pid1), "-a", "env", "-i", "LC_ALL=C", "HOME=/root",
                            "PATH=/usr/sbin:/usr/bin:/sbin:/bin", "sh", "-c", script],
                           capture_output=True, text=True, timeout=self.left(limit))
        assert not check or r.returncode == 0, f"{script}: rc={r.returncode}\n{r.stdout}{r.stderr}"
        return r

    def out(self, script, **kwargs):
        return self.sh(script, **kwargs).stdout.strip()

    def wait(self, script, limit):
        """Waits until the script succeeds; fails after `limit` seconds."""
        end = time.monotonic() + self.left(limit)
        while time.monotonic() < end:
            if self.sh(script, check=False).returncode == 0:
                return
            time.sleep(0.2)
        pytest.fail(self.diagnosis(f"not within {limit} s: {script}"))

    def diagnosis(self, what):
        journal = self.sh("journalctl -b --no-pager -n 40 -u loadhawk; tail -n 20 " + LOG, check=False)
        return f"{what}\n{journal.stdout}{journal.stderr}"

    def main_pid(self):
        return int(self.out("systemctl show -p MainPID --value loadhawk"))

    def end(self):
        """Powers the container off (killing it when that takes too long),
        then ends whatever is left in the cgroups by pid and removes them."""
        if self.nspawn is not None:
            if self.nspawn.poll() is None:
                # nspawn asks the container's systemd to power off
                self.nspawn.send_signal(signal.SIGTERM)
                try:
                    self.nspawn.wait(timeout=30)
                except subprocess.TimeoutExpired:
                    for pid in filter(None, (self.pid1, self.nspawn.pid)):
                        os.kill(pid, signal.SIGKILL)
                    self.nspawn.wait(timeout=10)
        end = time.monotonic() + 10
        while self.cgroup_pids() and time.monotonic() < end:
            for pid in self.cgroup_pids():
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            time.sleep(0.1)
        for group in self.cgroups:
            if group.exists():
                for sub in sorted((p for p in group.rglob("*") if p.is_dir()), key=lambda p: -len(p.parts)):
                    sub.rmdir()
                group.rmdir()
        # nothing of the container stays mounted here: only then its files go
        mounts = pathlib.Path("/proc/self/mountinfo").read_text()
        if f" {self.root}/" not in mounts and f" {self.root} " not in mounts:
            shutil.rmtree(self.root, ignore_errors=True)


@pytest.fixture
def container(tmp_path):
    if os.geteuid() != 0:
        pytest.skip("booting a container with systemd-nspawn needs root")
    deb = deb_path()
    assert shutil.which("systemd-nspawn") and shutil.which("debootstrap"), \
        "systemd-nspawn or debootstrap missing: run scripts/install-deps"
    tarball = os.environ.get("LOADHAWK_SYSTEMD_ROOT", "")
    if os.path.isfile(tarball):
        c = Container(tmp_path, tarball)
    else:
        # no cached root file system: make one for this run only
        made = subprocess.run([str(ROOT / "scripts" / "systemd-test-root"), str(tmp_path / "made")],
                              capture_output=True, text=True, timeout=600)
        assert made.returncode == 0, made.stderr
        try:
            c = Container(tmp_path, made.stdout.strip())
        finally:
            shutil.rmtree(tmp_path / "made")
    try:
        shutil.copyfile(deb, c.root / DEB.lstrip("/"))
        c.boot()
        yield c
    finally:
        c.end()
        assert not [g for g in c.cgroups if g.exists()]
        assert not (c.root / "etc").exists()


def test_deb_under_systemd(container):
    c = container
    # an SMTP sink inside the container, on its loopback
    c.sh(f"systemd-run --unit=smtp-sink python3 -m aiosmtpd -n -l 127.0.0.1:2525 "
         f"-c aiosmtpd.handlers.Mailbox {MAIL.rsplit('/', 1)[0]}")
    c.wait("python3 -c 'import socket; socket.create_connection((\"127.0.0.1\", 2525), 1)'", 20)

    # the README's install and set-up of /etc/loadhawk
    c.sh(f"DEBIAN_FRONTEND=noninteractive apt-get install -y {DEB}", limit=120)
    c.sh(f"""cd {SETTINGS}
        install -o loadhawk -g loadhawk -m 644 /usr/share/doc/loadhawk/examples/loadhawk_setup.txt .
        install -o loadhawk -g loadhawk -m 600 /usr/share/doc/loadhawk/examples/loadhawk_email.txt .
        sed -i {edits(SETUP_EDITS)} loadhawk_setup.txt
        sed -i {edits(EMAIL_EDITS)} loadhawk_email.txt
        mkdir -p {METRICS.rsplit('/', 1)[0]}
        setfacl -m u:loadhawk:rwx {METRICS.rsplit('/', 1)[0]}""")

    # a monitor run as root there leaves its files (locks 0600) to root;
    # reconfiguring the package gives every one of them back to the user
    c.sh(f"cd {SETTINGS} && loadhawk -start >/dev/null && sleep 2 && loadhawk -stop >/dev/null")
    assert c.out(f"find {SETTINGS} -name '*.lock' -user root | wc -l") != "0"
    c.sh("DEBIAN_FRONTEND=noninteractive dpkg-reconfigure loadhawk")
    assert c.out(f"find {SETTINGS} ! -user loadhawk") == ""

    assert c.out(f"cd {SETTINGS} && {AS_USER} loadhawk -check").endswith("Result: OK")
    test = c.out(f"cd {SETTINGS} && {AS_USER} loadhawk -test", check=False)
    assert re.search(r"^Email +: OK$", test, re.M), test
    mails = int(c.out(f"ls {MAIL} | wc -l"))
    assert mails >= 1

    # where the service's own log lines begin
    start = int(c.out(f"stat -c %s {LOG}")) + 1
    c.sh("systemctl enable --now loadhawk")
    c.wait("systemctl is-active loadhawk", RESTART_LIMIT)
    pid = c.main_pid()
    # systemd forks it as root and then becomes the program as the user
    c.wait(f"ps -o user=,comm= -p {pid} | grep -qx 'loadhawk *loadhawk'", 5)
    assert c.out(f"readlink /proc/{pid}/cwd") == SETTINGS
    # the service mails the alerts and writes the metrics file
    c.wait(f"[ $(ls {MAIL} | wc -l) -gt {mails} ]", 30)
    # (the root run above left one of root's: the service replaces it)
    c.wait(f"[ $(stat -c %U {METRICS}) = loadhawk ] && grep -q '^loadhawk_build_info' {METRICS}", 10)
    # its lists name processes of other users: root's
    c.wait(f"tail -c +{start} {LOG} | grep -q 'PID: 1 '", 10)
    listed = set(re.findall(r"PID: (\d+) ", c.out(f"tail -c +{start} {LOG}")))
    owners = c.out(f"ps -o uid= -p {','.join(listed)}", check=False)
    assert "0" in owners.split(), (listed, owners)
    # the sandbox systemd applies scores no worse than the unit file promises
    live = c.out("systemd-analyze security loadhawk")
    offline = c.out("systemd-analyze security --offline=yes /lib/systemd/system/loadhawk.service")
    score = [float(re.search(r"Overall exposure level for \S+: ([0-9.]+)", text).group(1))
             for text in (live, offline)]
    assert score[0] <= score[1], live

    # a kill nobody asked for: systemd brings it back
    c.sh(f"kill -9 {pid}")
    c.wait(f"systemctl is-active loadhawk && [ $(systemctl show -p MainPID --value loadhawk) -ne {pid} ] "
           f"&& [ $(systemctl show -p MainPID --value loadhawk) -ne 0 ]", RESTART_LIMIT)
    pid = c.main_pid()

    # a reinstall restarts it and keeps the settings
    settings = c.out(f"cat {SETTINGS}/loadhawk_setup.txt {SETTINGS}/loadhawk_email.txt")
    c.sh(f"DEBIAN_FRONTEND=noninteractive apt-get install -y --reinstall {DEB}", limit=120)
    c.wait(f"systemctl is-active loadhawk && [ $(systemctl show -p MainPID --value loadhawk) -ne {pid} ]", 10)
    assert c.out(f"cat {SETTINGS}/loadhawk_setup.txt {SETTINGS}/loadhawk_email.txt") == settings

    # after a rotation the service writes to the new log
    c.sh("logrotate -f /etc/logrotate.d/loadhawk")
    c.sh(f"[ -s {LOG}.1.gz ]")
    c.wait(f"[ -s {LOG} ]", 10)
    assert c.out(f"stat -c %U {LOG}") == "loadhawk"

    c.sh("systemctl stop loadhawk")
    assert c.out("systemctl is-active loadhawk", check=False) == "inactive"
    assert c.out(f"tail -n 1 {LOG}").endswith("loadhawk stopped (signal 15)")
    c.sh(f"[ ! -e {SETTINGS}/loadhawk.pid ]")

    # remove stops it, keeps settings and user, and takes the figures away
    c.sh("systemctl start loadhawk")
    c.wait(f"[ -s {SETTINGS}/loadhawk.pid ]", 10)
    c.sh("DEBIAN_FRONTEND=noninteractive apt-get remove -y loadhawk", limit=120)
    assert c.out("systemctl is-active loadhawk", check=False) != "active"
    assert c.out("pgrep -u loadhawk | wc -l") == "0"
    c.sh(f"[ -f {SETTINGS}/loadhawk_setup.txt ] && [ -f {SETTINGS}/loadhawk_email.txt ] && id loadhawk")
    c.sh(f"[ ! -e {METRICS} ]")

    c.sh("DEBIAN_FRONTEND=noninteractive apt-get purge -y loadhawk", limit=120)
    c.sh(f"[ ! -e {SETTINGS} ] && ! id loadhawk")
