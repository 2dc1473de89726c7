"""loadhawk as a service of Wine's service manager (services.exe): -install
and -uninstall, the configuration read back from the registry where the
manager keeps it, a run started and stopped with `sc`, and a start-up
failure. Every test removes the service again (and ends a monitor that
outlived a failed stop by its Windows pid)."""

import hashlib
import os
import re
import shutil
import struct
import subprocess
import pathlib
import time

import pytest

from conftest import WINE, log_messages, standin_calls, wait_for, windows_path, wine_environment, write_file
from test_delivery import MEM_LOW_SETUP, notify_file

SERVICE_KEY = r"HKLM\System\CurrentControlSet\Services\loadhawk"
SOURCE_KEY = r"HKLM\System\CurrentControlSet\Services\EventLog\Application\loadhawk"
# what `sc stop` may take: the manager's wait hint is 30 s; the cycle's
# sleep wakes at once, so far less is enough
STOP_BOUND = 10.0
WINESERVER = "/usr/lib/wine/wineserver"
ENVIRONMENT_KEY = r"HKLM\System\CurrentControlSet\Control\Session Manager\Environment"


# the virtual account NT SERVICE\loadhawk: S-1-5-80 and the SHA-1 of the
# service name in capitals (UTF-16LE) as five numbers
SERVICE_SID = "S-1-5-80-" + "-".join(
    str(n) for n in struct.unpack("<5I", hashlib.sha1("LOADHAWK".encode("utf-16-le")).digest()))
# Wine keeps no access lists: the install reports the one it handed to the
# system. Full control for Administrators and SYSTEM, modify (read, write,
# execute, delete; no WRITE_DAC or WRITE_OWNER) for the service, each
# inherited by files and folders below (0x3)
FOLDER_ACL = (f"Access list given: S-1-5-32-544 0x10000000 0x3; S-1-5-18 0x10000000 0x3; "
              f"{SERVICE_SID} 0x001301bf 0x3;\n")


def wine(*args, timeout=60):
    proc = subprocess.run([WINE, *args], env=wine_environment(), stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=timeout)
    return proc.returncode, proc.stdout.decode("latin-1").replace("\r\n", "\n")


def registry(key):
    """{name: (type, value)} of a registry key, or None when it is missing."""
    rc, out = wine("reg", "query", key)
    if rc != 0:
        return None
    values = {}
    for line in out.splitlines():
        m = re.match(r"\s+(\S+)\s+(REG_\w+)\s+(.*)$", line)
        if m:
            values[m.group(1)] = (m.group(2), m.group(3))
    return values


def service_state():
    """(state, win32 exit code, service exit code) from `sc query`, or None."""
    rc, out = wine("sc", "query", "loadhawk")
    m = re.search(r"STATE\s+:\s+\d+\s+(\w+).*WIN32_EXIT_CODE\s+:\s+(\d+).*SERVICE_EXIT_CODE\s+:\s+(\d+)",
                  out, re.S)
    return (m.group(1), int(m.group(2)), int(m.group(3))) if rc == 0 and m else None


@pytest.fixture(scope="module", autouse=True)
def private_prefix(tmp_path_factory):
    """A Wine prefix of this file's own, whose system PATH names the curl.exe
    stand-in's folder by its full path (on Windows curl.exe lives in
    System32), as its service manager hands that PATH to the services it
    starts. Its wineserver is ended afterwards."""
    base = tmp_path_factory.mktemp("service-prefix")
    saved = {k: os.environ.get(k) for k in ("WINEPREFIX", "WINEPATH")}
    os.environ["WINEPREFIX"] = str(base / "prefix")
    os.environ.pop("WINEPATH", None)
    exe = pathlib.Path(os.environ["LOADHAWK_WIN_EXE"]) if os.environ.get("LOADHAWK_WIN_EXE") else None
    if exe is not None and (exe.parent / "curl.exe").exists():
        (base / "bin").mkdir()
        shutil.copy(exe.parent / "curl.exe", base / "bin" / "curl.exe")
        os.environ["WINEPATH"] = windows_path(base / "bin")
    try:
        # the prefix's first start finishes its set-up in the background
        # (and starts automatic services at its end): let it finish and the
        # server end, then keep one server and its service manager up
        # between commands, since a new one would start the service itself.
        # Nothing here may hold a pipe of ours: the servers stay behind.
        quiet = {"env": wine_environment(), "stdin": subprocess.DEVNULL,
                 "stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
        subprocess.run([WINE, "cmd.exe", "/c", "exit", "0"], timeout=120, **quiet)
        if "WINEPATH" in os.environ:
            # the system PATH, which the service manager hands its services
            subprocess.run([WINE, "reg", "add", ENVIRONMENT_KEY, "/v", "PATH", "/t", "REG_EXPAND_SZ", "/d",
                            "C:\\windows\\system32;C:\\windows;" + os.environ["WINEPATH"], "/f"],
                           timeout=120, **quiet)
        subprocess.run([WINESERVER, "-w"], timeout=120, **quiet)
        subprocess.run([WINESERVER, "-p"], timeout=60, **quiet)
        subprocess.run([WINE, "cmd.exe", "/c", "exit", "0"], timeout=120, **quiet)
        yield
    finally:
        subprocess.run([WINESERVER, "-k"], env=wine_environment(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        for key, value in saved.items():
            if value is None:
                os.environ.pop(key, None)
            else:
                os.environ[key] = value
        shutil.rmtree(base, ignore_errors=True)


@pytest.fixture
def service(windows, workdir):
    """The Windows build in a folder of its own, with the service removed
    after the test whatever happened."""
    yield windows
    state = service_state()
    if state is not None and state[0] != "STOPPED":
        wine("sc", "stop", "loadhawk")
        wait_for(lambda: service_state()[0] == "STOPPED", timeout=STOP_BOUND)
    pid_file = workdir / "loadhawk.pid"
    if pid_file.exists() and pid_file.read_text().strip().isdigit():
        wine("taskkill", "/f", "/pid", pid_file.read_text().strip())
    wine("sc", "delete", "loadhawk")


def test_install_registers_the_service_for_the_folder_once(service, workdir):
    write_file(workdir, "loadhawk_setup.txt", MEM_LOW_SETUP)
    r = service.run("-install", cwd=workdir)
    command = f'"{windows_path(service.path)}" -service "{windows_path(workdir)}"'
    assert r.rc == 0, r
    assert f"Command line: {command}\n" in r.out
    assert FOLDER_ACL in r.out
    assert "Start it:   sc start loadhawk" in r.out and "Remove it:  loadhawk.exe -uninstall" in r.out
    config = registry(SERVICE_KEY)
    assert config["ImagePath"] == ("REG_SZ", command)
    assert config["Start"] == ("REG_DWORD", "0x2")  # automatic
    assert config["ObjectName"] == ("REG_SZ", "NT SERVICE\\loadhawk")
    assert config["PreshutdownTimeout"] == ("REG_DWORD", hex(150000))
    assert config["Description"][1].startswith("Watches CPU and memory load")
    source = registry(SOURCE_KEY)
    assert source["EventMessageFile"] == ("REG_EXPAND_SZ", windows_path(service.path))
    again = service.run("-install", cwd=workdir)
    assert (again.rc, again.out) == (1, "A service named loadhawk already exists; remove it first with "
                                        "\"loadhawk.exe -uninstall\" (as administrator)\n")
    assert registry(SERVICE_KEY)["ImagePath"] == ("REG_SZ", command)

    gone = service.run("-uninstall", cwd=workdir)
    assert (gone.rc, gone.out) == (0, "Service loadhawk removed\n")
    assert registry(SERVICE_KEY) is None and registry(SOURCE_KEY) is None
    none = service.run("-uninstall", cwd=workdir)
    assert (none.rc, none.out) == (1, "No service named loadhawk is installed\n")


def test_service_runs_sends_and_stops_cleanly(service, workdir):
    write_file(workdir, "loadhawk_setup.txt", MEM_LOW_SETUP)
    write_file(workdir, "loadhawk_email.txt", notify_file(server="smtp://127.0.0.1:25"))
    assert service.run("-install", cwd=workdir).rc == 0
    rc, _ = wine("sc", "start", "loadhawk")
    assert rc == 0
    assert wait_for(lambda: log_messages(workdir).count("Email sent to ops@example.com, oncall@example.com") >= 1,
                    timeout=30), "\n".join(log_messages(workdir))
    # cycles go on after the send
    assert wait_for(lambda: sum(m.startswith("MEMORY Usage <= 100% Still LOW") for m in log_messages(workdir)) >= 2,
                    timeout=30)
    assert standin_calls(workdir)[0]["args"][:2] == ["-s", "smtp://127.0.0.1:25"]
    pid = (workdir / "loadhawk.pid").read_text().strip()
    status = service.run("-status", cwd=workdir)
    assert (status.rc, status.out) == (0, f"loadhawk running as the service loadhawk pid {pid}\n")

    started = time.monotonic()
    rc, _ = wine("sc", "stop", "loadhawk")
    assert rc == 0
    assert wait_for(lambda: service_state()[0] == "STOPPED", timeout=STOP_BOUND)
    assert time.monotonic() - started < STOP_BOUND
    assert service_state() == ("STOPPED", 0, 0)
    assert log_messages(workdir)[-1] == "loadhawk stopped (service stop)"
    assert not (workdir / "loadhawk.pid").exists()
    assert not any(p.name.startswith("cpu") for p in workdir.iterdir())


def test_stop_in_the_folder_goes_through_the_service_manager(service, workdir):
    write_file(workdir, "loadhawk_setup.txt", MEM_LOW_SETUP)
    assert service.run("-install", cwd=workdir).rc == 0
    wine("sc", "start", "loadhawk")
    assert wait_for(lambda: (workdir / "loadhawk.pid").exists(), timeout=20)
    r = service.run("-stop", cwd=workdir)
    assert (r.rc, r.out) == (0, "loadhawk stopped (service loadhawk)\n")
    assert service_state() == ("STOPPED", 0, 0)
    assert log_messages(workdir)[-1] == "loadhawk stopped (service stop)"
    status = service.run("-status", cwd=workdir)
    assert (status.rc, status.out) == (3, "loadhawk not running\n")


@pytest.mark.parametrize("cause", ["no settings", "a monitor already running"])
def test_a_failed_start_is_logged_and_stops_the_service_with_its_code(service, workdir, cause):
    assert service.run("-install", cwd=workdir).rc == 0
    expected = ["Error: loadhawk_setup.txt not found"]
    if cause == "a monitor already running":
        write_file(workdir, "loadhawk_setup.txt", MEM_LOW_SETUP)
        service.spawn("-s", cwd=workdir)
        assert wait_for(lambda: (workdir / "loadhawk.pid").exists(), timeout=20)
        (workdir / "loadhawk_log.txt").unlink()
        expected = ["loadhawk already running"]
    wine("sc", "start", "loadhawk")
    assert wait_for(lambda: service_state() is not None and service_state()[0] == "STOPPED", timeout=20)
    # ERROR_SERVICE_SPECIFIC_ERROR with the service's own code 1
    assert service_state() == ("STOPPED", 1066, 1)
    assert wait_for(lambda: "loadhawk service not started" in log_messages(workdir), timeout=5)
    assert [m for m in log_messages(workdir) if not m.startswith("MEMORY")][:2] == \
        expected + ["loadhawk service not started"]
    # the running monitor keeps its pid file; the failed service made none
    assert (workdir / "loadhawk.pid").exists() == (cause == "a monitor already running")


def test_the_service_switch_outside_the_service_manager_says_how_to_start(windows, workdir):
    write_file(workdir, "loadhawk_setup.txt", MEM_LOW_SETUP)
    r = windows.run("-service", windows_path(workdir), cwd=workdir)
    assert (r.rc, r.out) == (1, "-service is for the service manager; start the service with "
                                "\"sc start loadhawk\", or run loadhawk.exe without a command in the folder\n")
    assert not (workdir / "loadhawk.pid").exists()


def test_linux_points_to_the_systemd_unit(native, workdir):
    for command in (["-install"], ["-uninstall"], ["-service", str(workdir)]):
        r = native.run(*command, cwd=workdir)
        assert (r.rc, r.out) == (1, "On Linux loadhawk runs as a service through the systemd unit of the "
                                    ".deb package:\n  sudo systemctl enable --now loadhawk\n"), command
