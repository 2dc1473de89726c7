"""The command line: usage text, exit codes, unrecognised arguments."""
from conftest import normalise  # noqa: F401


def expected_usage(path):
    lines = [
        "",
        "LOADHAWK Windows Version 1.0 from the loadhawk authors",
        "",
        "Usage:",
        f"  {path} -start",
        f"  {path} -stop",
        f"  {path} -status",
        f"  {path} -check",
        f"  {path} -test",
        f"  {path} -s",
        f"  {path} -h | --help",
        "",
        "Options:",
        "  -start        Start in background mode",
        "  -stop         Stop running instance",
        "  -status       Show running status",
        "  -check        Validate config file format",
        "  -test         Send test email / Telegram alert",
        "  -s            Silent mode",
        "  -h, --help    Show this help",
    ]
    return "\n".join(lines) + "\n"


def test_help_prints_usage_with_the_path_as_typed(program, workdir):
    for switch in ("-h", "--help"):
        r = program.run(switch, cwd=workdir)
        assert r.rc == 0
        assert r.err == ""
        # the program path is argv[0]: Wine hands the Windows program its own path
        first = r.out.splitlines()[4]
        assert first.endswith(" -start")
        path = first[2:-len(" -start")]
        assert r.out == expected_usage(path)


def test_help_after_silent_switch_and_unknown_arguments(program, workdir):
    r = program.run("-x", "-s", "--HELP", "-h", "-stop", cwd=workdir)
    assert r.rc == 0
    assert "Usage:\n" in r.out
    assert "Show this help" in r.out
    # nothing of the later "-stop" ran: no other file appeared
    assert sorted(p.name for p in workdir.iterdir()) == []


def test_native_and_windows_usage_match(native, windows, workdir):
    a = native.run("-h", cwd=workdir)
    b = windows.run("-h", cwd=workdir)
    assert a.rc == b.rc == 0
    # the same text apart from the program path
    strip = lambda out, path: out.replace(path, "PROGRAM")
    a_path = a.out.splitlines()[4][2:-len(" -start")]
    b_path = b.out.splitlines()[4][2:-len(" -start")]
    assert strip(a.out, a_path) == strip(b.out, b_path)
