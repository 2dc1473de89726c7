"""Background control: "-start" launches a hidden silent copy, "-status"
reports it, "-stop" ends it, all through the pid file of the working directory.

This test process makes itself the reaper of orphans (a child subreaper), so
a started copy whose starter has ended becomes its child; every copy a test
started is ended by pid at the end of the test (by "-stop", then by a kill of
the processes that run loadhawk in the test's directories) and reaped.
"""
import ctypes
import os
import pathlib
import re
import shutil
import signal
import subprocess
import tempfile
import time

import pytest

from conftest import Program, normalise, prepare_dir, read_text, wait_for, write_file

PR_SET_CHILD_SUBREAPER = 36

SETUP = """hostid : "bg-host"
interval : "1"
cpulowthreshold : "100"
cpulownum : "1"
*cpuhighthreshold : "85"
*memhighthreshold : "85"
*memlowthreshold : "10"
"""


def setup_dir(path):
    return prepare_dir(path, SETUP)


def read_pid_file(directory):
    return read_text(directory, "loadhawk.pid")


def pid_in_file(directory):
    text = read_pid_file(directory)
    match = re.match(r"(\d+)\r?\n", text or "")
    return int(match.group(1)) if match else None


def _proc_stat(pid):
    """(state, ppid) of a process, or None when it is gone."""
    try:
        text = pathlib.Path(f"/proc/{pid}/stat").read_text(errors="replace")
    except OSError:
        return None
    fields = text[text.rindex(")") + 2:].split()
    return fields[0], int(fields[1])


def running_copies(directories):
    """Unix pids of the loadhawk processes (native or under Wine, also by
    the linked name "lh") that run, not as zombies, in one of `directories`."""
    wanted = {os.path.realpath(d) for d in directories}
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        pid = int(entry)
        try:
            argv0 = pathlib.Path(f"/proc/{pid}/cmdline").read_bytes().split(b"\0")[0].decode("latin-1")
            cwd = os.readlink(f"/proc/{pid}/cwd")
        except OSError:
            continue
        name = re.split(r"[\\/]", argv0)[-1].lower()
        if name not in ("loadhawk", "loadhawk.exe", "lh", "lh.exe") or cwd not in wanted:
            continue
        state = _proc_stat(pid)
        if state and state[0] not in "ZX":
            found.append(pid)
    return found


def reap_ended_copies():
    """Reaps the loadhawk processes that ended as children of this process."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        pid = int(entry)
        state = _proc_stat(pid)
        if not state or state[0] != "Z" or state[1] != os.getpid():
            continue
        try:
            comm = pathlib.Path(f"/proc/{pid}/comm").read_text(encoding="latin-1").strip()
        except OSError:
            continue
        if comm.startswith("loadhawk") or comm.startswith("lh"):
            try:
                os.waitpid(pid, os.WNOHANG)
            except ChildProcessError:
                pass


def is_gone(pid):
    state = _proc_stat(pid)
    return state is None or state[0] in "ZX"


@pytest.fixture(scope="module", autouse=True)
def subreaper():
    """Orphaned copies (their starter ended) become children of this process."""
    libc = ctypes.CDLL(None, use_errno=True)
    assert libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) == 0
    yield


class Directories:
    """The test's working directories; at the end every copy running in one
    of them is stopped with "-stop" (by the build that started it) and then
    killed by pid."""

    def __init__(self):
        self.dirs = []

    def add(self, program, path):
        self.dirs.append((program, setup_dir(path)))
        return path

    def end_all(self):
        for program, d in self.dirs:
            if read_pid_file(d) is not None:
                try:
                    program.run("-stop", cwd=d, timeout=30)
                except subprocess.TimeoutExpired:
                    pass
        paths = [d for _, d in self.dirs]
        for pid in running_copies(paths):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        time.sleep(0.2)
        reap_ended_copies()
        assert running_copies(paths) == []


@pytest.fixture
def dirs():
    d = Directories()
    yield d
    d.end_all()


def run(program, cwd, *args):
    if program.windows and "-start" in args:
        # Wine hands its own standard error (for its debug output) to every
        # process it starts, detached or not: captured through a pipe, the
        # copy would hold it open, so it goes to a file here
        err_path = pathlib.Path(cwd).parent / "start.stderr"
        with open(err_path, "wb") as err:
            proc = subprocess.run(program.command(*args), cwd=cwd, env=program.environment(),
                                  stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=err, timeout=60)
        return proc.returncode, normalise(proc.stdout.decode("latin-1")), err_path.read_text(errors="replace")
    r = program.run(*args, cwd=cwd, timeout=60)
    return r.rc, r.out, r.err


# also with the program in, and working in, a folder whose name lies
# outside the ANSI code page: the copy starts by its wide-character path
@pytest.mark.parametrize("folder", ["work", "\u043f\u0430\u043f\u043a\u0430"])
def test_start_status_second_start_stop_status(program, tmp_path, dirs, folder):
    workdir = tmp_path / folder
    if folder != "work":
        workdir.mkdir()
        shutil.copy(program.path, workdir / program.path.name)
        program = Program(program.kind, workdir / program.path.name, program.reaper)
    dirs.add(program, workdir)
    assert run(program, workdir, "-start") == (0, "loadhawk start requested\n", "")
    assert wait_for(lambda: pid_in_file(workdir) is not None, timeout=30), read_pid_file(workdir)
    pid = pid_in_file(workdir)
    assert wait_for(lambda: running_copies([workdir]), timeout=30)
    unix_pid = running_copies([workdir])[0]
    if not program.windows:
        assert unix_pid == pid
        # a session of its own, silent, in the directory "-start" ran in
        assert os.getsid(pid) == pid
        assert pathlib.Path(f"/proc/{pid}/cmdline").read_bytes().split(b"\0")[1:] == [b"-s", b""]
    assert run(program, workdir, "-status") == (0, f"loadhawk running pid {pid}\n", "")
    # the copy is silent: it works and writes its log
    assert wait_for(lambda: "CPU Usage <= 100% " in (workdir / "loadhawk_log.txt").read_text(errors="replace")
                    if (workdir / "loadhawk_log.txt").exists() else False, timeout=30)

    # a second start is refused: no second copy is launched
    assert run(program, workdir, "-start") == (1, "loadhawk already running\n", "")
    time.sleep(1)
    assert running_copies([workdir]) == [unix_pid]
    assert pid_in_file(workdir) == pid
    assert run(program, workdir, "-status") == (0, f"loadhawk running pid {pid}\n", "")

    assert run(program, workdir, "-stop") == (0, "loadhawk stopped\n", "")
    assert read_pid_file(workdir) is None
    assert wait_for(lambda: is_gone(unix_pid), timeout=10)
    assert run(program, workdir, "-status") == (3, "loadhawk not running\n", "")
    assert run(program, workdir, "-stop") == (0, "loadhawk not running\n", "")


def test_started_copy_outlives_the_terminal_that_started_it(native, workdir, dirs):
    # `script` runs "-start" on a pseudo-terminal of its own and closes it
    # (a hang-up for that terminal's session) when the command ends
    if shutil.which("script") is None:
        pytest.skip("script (util-linux) is not installed")
    dirs.add(native, workdir)
    subprocess.run(["script", "-qec", f"{native.path} -start", "/dev/null"], cwd=workdir,
                   stdin=subprocess.DEVNULL, capture_output=True, timeout=60, check=True)
    assert wait_for(lambda: pid_in_file(workdir) is not None, timeout=30)
    pid = pid_in_file(workdir)
    time.sleep(1.5)
    assert not is_gone(pid)
    assert run(native, workdir, "-status") == (0, f"loadhawk running pid {pid}\n", "")


def stale_pid(program, directory, reaper):
    """The pid file of a monitor that was killed: it names an ended process."""
    proc = reaper.track(subprocess.Popen(program.command("-s"), cwd=directory, env=program.environment(),
                                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                         stderr=subprocess.DEVNULL))
    assert wait_for(lambda: pid_in_file(directory) is not None, timeout=30)
    text = read_pid_file(directory)
    proc.kill()
    proc.wait(timeout=30)
    return text


def unrelated_windows_pid(program, directory, reaper):
    """The Windows pid of one of Wine's own services, from the cycle report of
    a monitor that keeps running (and so keeps the services alive)."""
    out_path = directory.parent / "watcher.stdout"
    with open(out_path, "wb") as out:
        reaper.track(subprocess.Popen(program.command(), cwd=directory, env=program.environment(),
                                      stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL))

    def pids():
        text = normalise(out_path.read_bytes().decode("latin-1"))
        return [int(p) for p, name in re.findall(r"PID: (\d+) [^\n]*COMMAND: ([^\n]+)\n", text)
                if int(p) > 0 and name.lower() != "loadhawk.exe"]

    assert wait_for(pids, timeout=30)
    return pids()[0]


def test_pid_file_without_a_running_monitor(program, workdir, tmp_path, dirs, reaper):
    dirs.add(program, workdir)
    stale = stale_pid(program, dirs.add(program, tmp_path / "killed"), reaper)
    if program.windows:
        service = unrelated_windows_pid(program, dirs.add(program, tmp_path / "watcher"), reaper)
        unrelated, alive = f"{service}\r\n", None
    else:
        sleeper = reaper.track(subprocess.Popen(["sleep", "60"]))
        unrelated, alive = f"{sleeper.pid}\n", sleeper

    # no number, or 0: no monitor; "-stop" leaves such a file alone
    for content in ("0\n", "garbage\n", ""):
        write_file(workdir, "loadhawk.pid", content, newline="\n")
        assert run(program, workdir, "-status") == (3, "loadhawk not running\n", "")
        assert run(program, workdir, "-stop") == (0, "loadhawk not running\n", "")
        assert read_pid_file(workdir) == content

    # an ended process, or a live one that is not a loadhawk: never stopped
    for content in (stale, unrelated):
        write_file(workdir, "loadhawk.pid", content, newline="\n")
        assert run(program, workdir, "-status") == (1, "loadhawk pid file exists but process dead\n", "")
        assert read_pid_file(workdir) == content
        assert run(program, workdir, "-stop") == (0, "loadhawk pid file exists but process not alive\n", "")
        assert read_pid_file(workdir) is None
    if alive is not None:
        assert alive.poll() is None


def test_stop_of_another_users_monitor_is_refused(native, tmp_path, reaper):
    if os.geteuid() != 0:
        pytest.skip("needs root to run a command as another user")
    # a directory and a copy of the program that the user nobody can read and run
    base = pathlib.Path(tempfile.mkdtemp(prefix="loadhawk-e2e-"))
    try:
        os.chmod(base, 0o755)
        program = base / "loadhawk"
        shutil.copy2(native.path, program)
        os.chmod(program, 0o755)
        work = setup_dir(base / "work")
        os.chmod(work, 0o755)
        monitor = reaper.track(subprocess.Popen([str(program), "-s"], cwd=work, stdin=subprocess.DEVNULL,
                                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        assert wait_for(lambda: pid_in_file(work) == monitor.pid, timeout=30)
        os.chmod(work / "loadhawk.pid", 0o644)
        as_nobody = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", str(program)]
        r = subprocess.run(as_nobody + ["-status"], cwd=work, capture_output=True, timeout=60)
        assert (r.returncode, r.stdout) == (0, f"loadhawk running pid {monitor.pid}\n".encode())
        r = subprocess.run(as_nobody + ["-stop"], cwd=work, capture_output=True, timeout=60)
        assert (r.returncode, r.stdout, r.stderr) == (1, f"Unable to stop loadhawk pid {monitor.pid}\n".encode(), b"")
        assert monitor.poll() is None
        assert pid_in_file(work) == monitor.pid
    finally:
        reaper.end_all()
        shutil.rmtree(base, ignore_errors=True)


def test_start_reports_a_copy_that_ends_at_once(program, workdir):
    # no settings file: the copy ends at once, and "-start" says so and why
    r = run(program, workdir, "-start")
    assert r[:2] == (1, "loadhawk start failed\nError: loadhawk_setup.txt not found\n"), r
    assert read_pid_file(workdir) is None


def test_renamed_or_linked_binary_keeps_control_of_its_monitor(program, workdir, tmp_path, dirs, reaper):
    """The monitor is known by its program file, not by its name."""
    dirs.add(program, workdir)
    link = tmp_path / ("lh.exe" if program.windows else "lh")
    link.symlink_to(program.path)
    linked = type(program)(program.kind, link, reaper)
    assert run(linked, workdir, "-start") == (0, "loadhawk start requested\n", "")
    assert wait_for(lambda: pid_in_file(workdir) is not None, timeout=30)
    pid = pid_in_file(workdir)
    assert wait_for(lambda: running_copies([workdir]), timeout=30)
    [unix_pid] = running_copies([workdir])
    assert run(linked, workdir, "-status") == (0, f"loadhawk running pid {pid}\n", "")
    # the same program file under its own name
    assert run(program, workdir, "-status") == (0, f"loadhawk running pid {pid}\n", "")
    assert run(program, workdir, "-start") == (1, "loadhawk already running\n", "")
    assert run(linked, workdir, "-stop") == (0, "loadhawk stopped\n", "")
    assert wait_for(lambda: is_gone(unix_pid), timeout=10)
    assert read_pid_file(workdir) is None


def test_another_directorys_monitor_is_never_ours(program, workdir, tmp_path, dirs):
    dirs.add(program, workdir)
    other = dirs.add(program, tmp_path / "other")
    assert run(program, other, "-start") == (0, "loadhawk start requested\n", "")
    assert wait_for(lambda: pid_in_file(other) is not None, timeout=30)
    pid = pid_in_file(other)
    assert wait_for(lambda: running_copies([other]), timeout=30)
    [unix_pid] = running_copies([other])
    # its pid in this directory's pid file
    (workdir / "loadhawk.pid").write_bytes((other / "loadhawk.pid").read_bytes())
    assert run(program, workdir, "-status") == (1, "loadhawk pid file exists but process dead\n", "")
    assert run(program, workdir, "-stop") == (0, "loadhawk pid file exists but process not alive\n", "")
    assert read_pid_file(workdir) is None
    time.sleep(1)
    assert not is_gone(unix_pid)
    assert run(program, other, "-status") == (0, f"loadhawk running pid {pid}\n", "")
    # and a monitor of this directory starts beside it
    assert run(program, workdir, "-start") == (0, "loadhawk start requested\n", "")
    assert wait_for(lambda: running_copies([workdir]), timeout=30)
