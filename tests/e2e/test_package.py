"""The packages users install: the .deb checked with lintian and systemd,
installed into this machine, run as its system user, upgraded, removed and
purged; the Windows zip unpacked and run under Wine."""
import grp
import os
import pathlib
import pwd
import re
import subprocess
import threading
import zipfile

import pytest

from conftest import EXAMPLES, ROOT, WINE, wait_for, wine_environment

ETC = pathlib.Path("/etc/loadhawk")
UNIT = pathlib.Path("/usr/lib/systemd/system/loadhawk.service")


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return text.split("project(loadhawk VERSION ", 1)[1].split()[0]


def package_path(name):
    directory = os.environ.get("LOADHAWK_PACKAGES")
    if not directory:
        pytest.skip("packages not built (LOADHAWK_PACKAGES)")
    path = pathlib.Path(directory) / name
    if not path.exists():
        pytest.fail(f"package missing: {path}")
    return path


def deb_path():
    return package_path(f"loadhawk_{project_version()}-1_amd64.deb")


def run(*args, **kwargs):
    return subprocess.run(list(args), capture_output=True, text=True, timeout=300, **kwargs)


def installed():
    return "install ok installed" in run("dpkg-query", "-W", "-f=${Status}", "loadhawk").stdout


def user_exists(name="loadhawk"):
    try:
        pwd.getpwnam(name)
        return True
    except KeyError:
        return False


def as_loadhawk(*args):
    return ["setpriv", "--reuid=loadhawk", "--regid=loadhawk", "--init-groups", *args]


def test_deb_is_lintian_clean_and_its_unit_sandboxed(tmp_path):
    deb = deb_path()
    r = run("lintian", "--fail-on", "none", str(deb))
    tags = [line for line in r.stdout.splitlines() if line[:2] in ("E:", "W:")]
    assert tags == [], r.stdout + r.stderr

    fields = {name: run("dpkg-deb", "-f", str(deb), name).stdout.strip()
              for name in ("Version", "Maintainer", "Depends")}
    assert fields["Version"] == f"{project_version()}-1"
    assert fields["Maintainer"] == "loadhawk maintainers <maintainers@loadhawk.org>"
    assert {d.strip().split()[0] for d in fields["Depends"].split(",")} >= {"curl", "adduser"}

    run("dpkg-deb", "-x", str(deb), str(tmp_path), check=True)
    man = run("zcat", str(tmp_path / "usr/share/man/man1/loadhawk.1.gz")).stdout
    assert f"loadhawk {project_version()}" in man
    unit = tmp_path / UNIT.relative_to("/")
    text = unit.read_text()
    for line in ("User=loadhawk", "WorkingDirectory=/etc/loadhawk", "ExecStart=/usr/bin/loadhawk -s",
                 "Restart=always", "ReadWritePaths=/etc/loadhawk",
                 "ReadWritePaths=-/var/lib/prometheus/node-exporter"):
        assert f"\n{line}\n" in text, line
    # the monitor must see every process and the system figures
    settings = [line for line in text.splitlines() if not line.startswith("#")]
    assert not [line for line in settings if line.startswith(("ProtectProc=", "ProcSubset="))]
    r = run("systemd-analyze", "security", "--offline=yes", "--threshold=25", str(unit))
    assert r.returncode == 0, r.stdout + r.stderr
    score = float(re.search(r"Overall exposure level for \S+: ([0-9.]+)", r.stdout).group(1))
    assert score <= 2.5, r.stdout


@pytest.fixture
def deb_installed(reaper):
    deb = deb_path()
    if os.geteuid() != 0:
        pytest.skip("installing a package needs root")
    if installed() or ETC.exists() or user_exists():
        pytest.skip("loadhawk is already installed or configured here; not touching it")
    try:
        # the README's step: apt installs the file and its dependencies
        r = run("apt-get", "install", "-y", str(deb), env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
        assert r.returncode == 0, r.stdout + r.stderr
        yield deb
    finally:
        reaper.end_all()
        run("dpkg", "--purge", "loadhawk")
        assert not installed()
        assert not ETC.exists()


def test_deb_lifecycle_as_the_system_user(deb_installed, reaper):
    user = pwd.getpwnam("loadhawk")
    assert user.pw_uid < 1000 and user.pw_shell.endswith("nologin")
    assert grp.getgrgid(user.pw_gid).gr_name == "loadhawk"
    state = ETC.stat()
    assert (state.st_uid, state.st_gid, state.st_mode & 0o777) == (user.pw_uid, user.pw_gid, 0o750)
    # installed, not enabled
    assert not pathlib.Path("/etc/systemd/system/multi-user.target.wants/loadhawk.service").exists()
    r = run("systemd-analyze", "verify", str(UNIT))
    assert r.returncode == 0, r.stdout + r.stderr
    r = run("logrotate", "--debug", "/etc/logrotate.d/loadhawk")
    assert r.returncode == 0 and "/etc/loadhawk/loadhawk_log.txt" in r.stdout + r.stderr, r.stdout + r.stderr
    assert run("man", "-w", "loadhawk").stdout.strip() == "/usr/share/man/man1/loadhawk.1.gz"
    assert run("loadhawk", "--version").stdout == f"loadhawk {project_version()}\n"

    # the README's set-up of /etc/loadhawk, with a one-second cycle
    examples = pathlib.Path("/usr/share/doc/loadhawk/examples")
    for name, mode in (("loadhawk_setup.txt", "644"), ("loadhawk_email.txt", "600")):
        assert (examples / name).read_bytes() == (EXAMPLES / name).read_bytes()
        run("install", "-o", "loadhawk", "-g", "loadhawk", "-m", mode, str(examples / name), ".",
            cwd=ETC, check=True)
    setup = ETC / "loadhawk_setup.txt"
    setup.write_text(setup.read_text().replace('interval : "60"', 'interval : "1"'))
    r = run(*as_loadhawk("loadhawk", "-check"), cwd=ETC)
    assert (r.returncode, r.stdout.splitlines()[-1]) == (0, "Result: OK"), r.stdout

    # as that user it samples every process: other users' show up in its lists
    proc = reaper.track(subprocess.Popen(as_loadhawk("loadhawk"), cwd=ETC, stdout=subprocess.PIPE,
                                         stderr=subprocess.DEVNULL, text=True))
    lines = []
    watchdog = threading.Timer(60, proc.kill)
    watchdog.start()
    while sum(line.startswith("CPU Usage:") for line in lines) < 3:
        line = proc.stdout.readline()
        assert line, "".join(lines)
        lines.append(line)
    watchdog.cancel()
    proc.terminate()
    proc.wait(timeout=10)
    pids = {int(m.group(1)) for m in re.finditer(r"PID: (\d+) ", "".join(lines))}
    owners = {os.stat(f"/proc/{pid}").st_uid for pid in pids if os.path.exists(f"/proc/{pid}")}
    assert owners - {user.pw_uid}, "".join(lines)
    email = (ETC / "loadhawk_email.txt").stat()
    assert (email.st_uid, email.st_mode & 0o777) == (user.pw_uid, 0o600)
    assert "encry(" in (ETC / "loadhawk_email.txt").read_text()

    # an upgrade (the same version again) keeps the settings and the user
    before = {p.name: p.read_bytes() for p in ETC.glob("loadhawk_*.txt")}
    r = run("dpkg", "-i", str(deb_installed))
    assert r.returncode == 0, r.stdout + r.stderr
    assert {p.name: p.read_bytes() for p in ETC.glob("loadhawk_*.txt")} == before
    assert pwd.getpwnam("loadhawk").pw_uid == user.pw_uid

    # removal ends a monitor started by hand in the settings directory
    r = run(*as_loadhawk("loadhawk", "-start"), cwd=ETC)
    assert r.returncode == 0, r.stdout
    pid_file = ETC / "loadhawk.pid"
    assert wait_for(lambda: pid_file.exists() and pid_file.read_text().strip())
    pid = int(pid_file.read_text())
    reaper.track_pid(pid)
    assert os.stat(f"/proc/{pid}").st_uid == user.pw_uid
    r = run("dpkg", "-r", "loadhawk")
    assert r.returncode == 0, r.stdout + r.stderr
    assert wait_for(lambda: not os.path.exists(f"/proc/{pid}"), timeout=5)
    assert not pathlib.Path("/usr/bin/loadhawk").exists()
    # remove keeps the settings (and the log, if anything was logged, and the
    # lock files) and the user
    left = {p.name for p in ETC.iterdir()}
    assert {"loadhawk_email.txt", "loadhawk_setup.txt"} <= left <= {
        "loadhawk_email.txt", "loadhawk_setup.txt", "loadhawk_log.txt", "loadhawk_run.lock",
        "loadhawk_email.lock", "loadhawk_mail.lock"}, left
    assert user_exists()

    # purge leaves nothing of it
    r = run("dpkg", "--purge", "loadhawk")
    assert r.returncode == 0, r.stdout + r.stderr
    for path in (ETC, pathlib.Path("/etc/logrotate.d/loadhawk"), pathlib.Path("/etc/systemd/system/loadhawk.service")):
        assert not os.path.lexists(path), path
    assert not user_exists()
    with pytest.raises(KeyError):
        grp.getgrnam("loadhawk")


def test_windows_zip_holds_a_self_contained_stripped_exe_and_the_service_steps(tmp_path):
    version = project_version()
    texts = ["README.txt", "loadhawk_email.txt", "loadhawk_setup.txt"]
    with zipfile.ZipFile(package_path(f"loadhawk-{version}-win64.zip")) as z:
        # every file at the top level, so that it unpacks into C:\loadhawk itself
        assert sorted(z.namelist()) == sorted(texts + ["loadhawk.exe"])
        z.extractall(tmp_path)
    top = tmp_path
    for name in texts:
        data = (top / name).read_bytes()
        assert data.count(b"\r\n") == data.count(b"\n") > 0, name
    # a short plain-text README for Windows, not the Markdown one
    readme = (top / "README.txt").read_text()
    assert len(readme.splitlines()) < 120 and "```" not in readme and "](" not in readme
    for step in ("-check", "-test", "-stop", "loadhawk.exe -install\n  sc start loadhawk", "sc stop loadhawk",
                 "-uninstall"):
        assert step in readme, step
    # the service comes first: no second way to run at boot
    assert "schtasks" not in readme
    assert readme.index("Install as a service") < readme.index("-start")
    # the folder is for administrators only: each step in it says so
    for step in ("Open them in Notepad run as administrator", "In a command prompt run as administrator, in C:\\loadhawk",
                 "unpack the zip into C:\\loadhawk"):
        assert step in readme, step

    exe = str(top / "loadhawk.exe")
    # only system DLLs: no MinGW runtime beside the exe
    dump = run("x86_64-w64-mingw32-objdump", "-p", "-h", exe, check=True).stdout
    dlls = sorted({line.split(":", 1)[1].strip().lower() for line in dump.splitlines()
                   if "DLL Name:" in line})
    assert dlls and set(dlls) <= {"kernel32.dll", "msvcrt.dll", "advapi32.dll", "user32.dll",
                                  "psapi.dll", "ws2_32.dll", "shell32.dll"}, dlls
    # stripped: no debug sections, no symbol table
    assert ".debug" not in dump and ".rsrc" in dump
    assert "no symbols" in run("x86_64-w64-mingw32-objdump", "-t", exe).stdout
    resource = run("x86_64-w64-mingw32-windres", "-i", exe, "-O", "rc", check=True).stdout
    for key, value in (("ProductName", "loadhawk"), ("ProductVersion", version), ("FileVersion", version),
                       ("FileDescription", "loadhawk CPU and memory load monitor")):
        assert f'VALUE "{key}", "{value}"' in resource, resource
    assert "FILEVERSION " + ", ".join(version.split(".")) + ", 0" in resource, resource

    # the application manifest: Windows 10, long paths, the caller's rights
    manifest = re.search(r"1 24 /\* RT_MANIFEST \*/\s*\nBEGIN\n(.*?)\nEND", resource, re.S)
    assert manifest, resource
    text = "".join(re.findall(r'"((?:[^"]|"")*)"', manifest.group(1))).replace('""', '"')
    for part in ('<requestedExecutionLevel level="asInvoker"', "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
                 ">true</longPathAware>"):
        assert part in text, part
    # the event log's message table: messages 1 to 4 (recovery, alert, failed send, failed start)
    assert "1 11 /* RT_MESSAGETABLE */" in resource and "MessageId = 0x4" in resource

    env = wine_environment()
    r = subprocess.run([WINE, exe, "-check"], cwd=top, env=env, capture_output=True, timeout=120)
    assert (r.returncode, r.stdout.endswith(b"Result: OK\r\n")) == (0, True), r.stdout
