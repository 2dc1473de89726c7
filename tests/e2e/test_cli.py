"""The command line: usage text, version, exit codes, unrecognised arguments."""
import pathlib

import pytest

from conftest import normalise  # noqa: F401
from conftest import prepare_dir


def project_version():
    text = (pathlib.Path(__file__).resolve().parents[2] / "CMakeLists.txt").read_text()
    return text.split("project(loadhawk VERSION ", 1)[1].split()[0]


def expected_usage(path, windows):
    system = "Windows Version 1.0" if windows else f"Linux Version {project_version()}"
    lines = [
        "",
        f"LOADHAWK {system} from the loadhawk authors",
        "",
        "Usage:",
        f"  {path}",
        f"  {path} -start",
        f"  {path} -stop",
        f"  {path} -status",
        f"  {path} -check",
        f"  {path} -test",
        f"  {path} -install",
        f"  {path} -uninstall",
        f"  {path} -s",
        f"  {path} -h | --help",
        f"  {path} -v | --version",
        "",
        "Options:",
        "  (no command)  Run the monitor in the foreground",
        "  -start        Start in background mode",
        "  -stop         Stop running instance",
        "  -status       Show running status",
        "  -check        Validate config file format",
        "  -test         Send test email / Telegram / webhook alert",
        "  -install      Install as a Windows service for this folder (as administrator)",
        "  -uninstall    Stop and remove the Windows service (as administrator)",
        "  -s            Silent mode",
        "  -h, --help    Show this help",
        "  -v, --version Show the version",
        "",
        "Exit codes:",
        "  0 done, 1 failed, 2 unknown argument",
        "  -status: 0 running, 1 not running but a pid file is left, 3 not running",
        "  -check: 1 on any error; warnings do not count",
        "  -test: 0 when every configured channel sent, 1 when one failed or none is configured",
    ]
    return "\n".join(lines) + "\n"


@pytest.mark.parametrize("args,expected", [
    (("-h",), "usage"),
    (("--help",), "usage"),
    (("/?",), "usage"),
    (("-v",), "version"),
    (("-s", "--version", "-stop"), "version"),
])
def test_help_and_version_print_and_exit_0(program, workdir, args, expected):
    r = program.run(*args, cwd=workdir)
    assert r.rc == 0
    assert r.err == ""
    if expected == "version":
        assert r.out == f"loadhawk {project_version()}\n"
    else:
        # the program path is argv[0]: Wine hands the Windows program its own path
        path = r.out.splitlines()[4][2:]
        assert r.out == expected_usage(path, program.windows)
    # nothing ran: no file appeared
    assert list(workdir.iterdir()) == []


@pytest.mark.parametrize("args,unknown", [
    (("-x", "-s", "--HELP", "-h", "-stop"), "-x"),
    (("--check",), "--check"),
    (("-s", "status"), "status"),
])
def test_unknown_argument_prints_usage_exits_2_and_starts_nothing(program, workdir, args, unknown):
    prepare_dir(workdir, "interval : \"1\"\n")
    r = program.run(*args, cwd=workdir, timeout=60)
    assert r.rc == 2
    path = r.out.splitlines()[5][2:]
    assert r.out == f"Unknown argument: {unknown}\n" + expected_usage(path, program.windows)
    # no monitor ran: only the settings file is there
    assert sorted(p.name for p in workdir.iterdir()) == ["loadhawk_setup.txt"]


def test_native_and_windows_usage_match(native, windows, workdir):
    a = native.run("-h", cwd=workdir)
    b = windows.run("-h", cwd=workdir)
    assert a.rc == b.rc == 0
    # the same text apart from the program path
    strip = lambda out, path: out.replace(path, "PROGRAM").split("\n", 2)[2]
    a_path = a.out.splitlines()[4][2:]
    b_path = b.out.splitlines()[4][2:]
    assert strip(a.out, a_path) == strip(b.out, b_path)
