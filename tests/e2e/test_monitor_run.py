"""The monitor run: start-up with the pid-file guard, the cycle with its count
lines and notices, silent mode, and running beside another directory's monitor.

Every monitor a test starts is ended by pid (the `reaper` fixture), also when
the test fails.
"""
import re
import subprocess

from conftest import Monitor, prepare_dir, wait_for, write_file
from test_cli import project_version

def banner(program):
    """The Windows build keeps its long-standing line; the native one names
    its system and the version that "--version" prints."""
    if program.windows:
        return "\nLOADHAWK Windows Version 1.0 from the loadhawk authors\n\n"
    return f"\nLOADHAWK Linux Version {project_version()} from the loadhawk authors\n\n"
WAIT_LINE = "\nWait 1 seconds for next time check .....\n" + "=" * 72 + "\n"

# the LOW monitors with threshold 100 hold in every cycle (the HIGH ones
# cannot be made to: a threshold of 0 falls back to the default)
SETUP = """hostid : "e2e-host"
interval : "1"
*cpuhighthreshold : "85"
*memhighthreshold : "85"
cpulowthreshold : "100"
cpulownum : "2"
memlowthreshold : "100"
memlownum : "1"
"""

STAMP = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d"


def own_pid_written(program, monitor):
    """The pid file names the monitor: its pid natively; a Windows pid
    under Wine, which the test cannot know, so any number there."""
    text = monitor.pid_file()
    if text is None:
        return False
    if program.windows:
        return re.fullmatch(r"[1-9]\d*\r\n", text) is not None
    return text == f"{monitor.proc.pid}\n"


def setup_dir(path):
    return prepare_dir(path, SETUP)


def test_foreground_run_reports_every_cycle_and_logs_counts_and_notices(program, workdir):
    setup_dir(workdir)
    m = Monitor(program, workdir)
    m.wait_for_log(r"CPU Usage <= 100% Still LOW \(alert already sent\)", count=2)
    assert own_pid_written(program, m)
    m.end()
    out, log = m.out(), m.log()
    assert m.err() == ""

    # banner, the settings report, the notification notice, an empty line
    assert out.startswith(banner(program) + "Your setting ...\nhostid : e2e-host\ninterval : 1 Sec\n\n"
                          "CPU HIGH monitor : OFF\n"), out
    assert "MEM HIGH monitor : OFF\n" in out
    assert "loadhawk_email.txt not found. Email / Telegram alerts disabled.\n\n" in out
    # the cycle report: timestamp header, CPU line, the lists, the memory line
    assert re.search(r"\n\n" + STAMP + r"\n\nCPU Usage: \d+\.\d%\nTOP1- PID: \d+ CPU_TIME: ", out), out
    assert re.search(r"\nMEM Usage: \d+% \(total \d+ MB, avail \d+ MB\)\nTOP1- PID: \d+ %MEM: ", out), out
    # the count lines of the first three cycles, each cycle closed by the wait line
    assert ("CPU Usage <= 100% count [1] of [2]\nMEMORY Usage <= 100% count [1] of [1]\n" + WAIT_LINE) in out
    assert ("CPU Usage <= 100% count [2] of [2]\nMEMORY Usage <= 100% Still LOW (alert already sent)\n"
            + WAIT_LINE) in out
    assert ("CPU Usage <= 100% Still LOW (alert already sent)\n"
            "MEMORY Usage <= 100% Still LOW (alert already sent)\n" + WAIT_LINE) in out

    # the log: each count line with the whole list after "TOP1- " (so the label
    # stands twice), the count line of the firing cycle before its notice
    first = re.search(
        "^" + STAMP + r" CPU Usage <= 100% count \[1\] of \[2\] TOP1- TOP1- PID: \d+ CPU_TIME: [^\n]*\n(TOP\d- [^\n]*\n)*\n"
        + STAMP + r" MEMORY Usage <= 100% count \[1\] of \[1\] TOP1- TOP1- PID: \d+ %MEM: [^\n]*\n(TOP\d- [^\n]*\n)*\n"
        + STAMP + r" \*\*\*Alert sending :" + STAMP + r" e2e-host MEM now \d+% <= 100% for consecutive 1 times\n",
        log, re.M)
    assert first, log
    second = re.search(
        "^" + STAMP + r" CPU Usage <= 100% count \[2\] of \[2\] TOP1- TOP1- [^\n]*\n(TOP\d- [^\n]*\n)*\n"
        + STAMP + r" \*\*\*Alert sending :" + STAMP
        + r" e2e-host CPU now \d+\.\d% <= 100% for consecutive 2 times\n"
        + STAMP + r" MEMORY Usage <= 100% Still LOW \(alert already sent\) TOP1- TOP1- ",
        log, re.M)
    assert second, log
    # one alert per monitor, no recovery
    assert log.count("***Alert sending :") == 2
    assert "back to normal" not in log


def test_silent_run_prints_nothing_and_logs_the_same(program, workdir):
    setup_dir(workdir)
    # a crashed run's send files, one with a login in it, go at the start
    (workdir / "cpucurlconf.txt").write_text('user = "a@x:left-behind"\n')
    (workdir / "cpumailtext.txt").write_text("From: a@x\r\n")
    m = Monitor(program, workdir, "-s")
    m.wait_for_log(r"MEMORY Usage <= 100% Still LOW \(alert already sent\) TOP1- TOP1- ", count=1)
    m.end()
    assert not (workdir / "cpucurlconf.txt").exists()
    assert not (workdir / "cpumailtext.txt").exists()
    assert m.out() == ""
    assert m.err() == ""
    log = m.log()
    assert re.search(r" CPU Usage <= 100% count \[1\] of \[2\] TOP1- TOP1- ", log), log
    assert log.count("***Alert sending :") == 2, log


def test_second_monitor_in_the_same_directory_is_refused(program, workdir, tmp_path):
    setup_dir(workdir)
    first = Monitor(program, workdir, "-s")
    first.wait_for_log(r"count \[1\] of \[2\]")
    recorded = first.pid_file()
    r = program.run(cwd=workdir)
    assert (r.rc, r.out, r.err) == (1, "loadhawk already running\n", "")
    r = program.run("-s", cwd=workdir)
    assert (r.rc, r.out, r.err) == (1, "loadhawk already running\n", "")
    assert first.pid_file() == recorded
    assert first.proc.poll() is None

    # a monitor in another directory runs beside it, with its own files
    other = Monitor(program, setup_dir(tmp_path / "other"), "-s")
    other.wait_for_log(r"count \[2\] of \[2\]")
    assert own_pid_written(program, other)
    assert other.pid_file() != first.pid_file()
    assert first.proc.poll() is None
    first.end()
    other.end()


def test_missing_settings_file_ends_the_run_without_a_pid_file(program, workdir):
    r = program.run(cwd=workdir)
    assert (r.rc, r.out, r.err) == (1, banner(program), "Error: loadhawk_setup.txt not found\n")
    r = program.run("-s", cwd=workdir)
    assert (r.rc, r.out, r.err) == (1, "", "Error: loadhawk_setup.txt not found\n")
    # the run lock stays, as lock files do; nobody holds it
    assert sorted(p.name for p in workdir.iterdir()) == ["loadhawk_run.lock"]


def listed_pids(text):
    """The pids of the top lists in a cycle report that are not a loadhawk."""
    return [int(pid) for pid, name in re.findall(r"PID: (\d+) [^\n]*COMMAND: ([^\n]+)\n", text)
            if int(pid) > 0 and name.lower() != "loadhawk.exe"]


def unrelated_windows_pid(monitor):
    """The Windows pid of a live process that is not a loadhawk (one of Wine's
    own services), read from the cycle report of a running monitor."""
    assert wait_for(lambda: listed_pids(monitor.out()), timeout=30), monitor.out()
    return listed_pids(monitor.out())[0]


def still_listed(monitor, pid):
    """True when a cycle report printed from now on lists `pid`."""
    start = len(monitor.out())
    return wait_for(lambda: pid in listed_pids(monitor.out()[start:]), timeout=30)


def test_pid_file_without_a_live_monitor_is_overwritten(program, workdir, tmp_path, reaper):
    setup_dir(workdir)
    # a monitor that ended without removing its pid file leaves a stale pid
    ended = Monitor(program, setup_dir(tmp_path / "ended"))
    ended.wait_for_log(r"count \[1\] of \[2\]")
    stale = ended.pid_file()
    ended.end()

    if program.windows:
        # a live process that is not a loadhawk: one of Wine's services, seen by a running monitor
        watcher = Monitor(program, setup_dir(tmp_path / "watcher"))
        service = unrelated_windows_pid(watcher)
        unrelated = f"{service}\r\n"
    else:
        sleeper = reaper.track(subprocess.Popen(["sleep", "60"]))
        unrelated = f"{sleeper.pid}\n"

    for content in ("0\n", "garbage\n", stale, unrelated):
        write_file(workdir, "loadhawk.pid", content, newline="\n")
        m = Monitor(program, workdir, "-s")
        assert wait_for(lambda: (m.pid_file() != content and own_pid_written(program, m))
                        or m.proc.poll() is not None, timeout=30), content
        assert m.proc.poll() is None, (content, m.out(), m.err())
        assert m.pid_file() != content
        m.end()
    if program.windows:
        # the unrelated process was left alone: the watcher still sees it
        assert still_listed(watcher, service)
        watcher.end()
    else:
        assert sleeper.poll() is None
