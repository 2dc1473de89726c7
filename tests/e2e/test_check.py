"""-check against good and bad settings files, native and under Wine."""
import shutil
import subprocess

import pytest

from conftest import copy_examples, windows_path, write_file
from test_faults import AS_NOBODY, nobody_dir  # noqa: F401

HEADER = (
    "loadhawk from the loadhawk authors\n\n"
    "Important: use ':' as separator. '=' is not supported.\n"
    "Leading '*' means disable that config item.\n\n"
)

GOOD_SETUP = (
    'hostid : "h"\ninterval : "60"\ncpuhighthreshold : "85"\ncpuhighnum : "5"\n'
    'memhighthreshold : "85"\nmemhighnum : "5"\n*cpulowthreshold : "10"\n*memlowthreshold : "10"\n'
)
FILES = ("Checking the files loadhawk writes ...\nloadhawk_log.txt can be written\n"
         "loadhawk.pid can be written\nloadhawk_run.lock can be written\nOK\n\n")
LOW_ON = ('Warning: CPU LOW monitor is on (10%, 50 cycles) only because its lines are missing; '
          'add *cpulowthreshold : "10" to switch it off\n'
          'Warning: MEM LOW monitor is on (10%, 50 cycles) only because its lines are missing; '
          'add *memlowthreshold : "10" to switch it off\n')


def left(line, key, value):
    return f'Warning: line {line}: {key} "{value}" is left from the example file; put your own\n'


GOOD_EMAIL = ('server : "smtp://127.0.0.1:2525"\nemail : "e@x"\npassword : "p"\nto : "t@x"\n'
              'smtptls : "try"\n')


@pytest.fixture(autouse=True)
def curl_in_reach(request):
    """A curl on PATH, as on a system that can send (Wine has none of its
    own): the stand-in beside the Windows build."""
    for name in ("program", "windows"):
        if name in request.fixturenames:
            build = request.getfixturevalue(name)
            if build.windows:
                build.env["WINEPATH"] = windows_path(build.path.parent)


CASES = {
    "webhook over plain http, unknown format": (
        GOOD_SETUP, GOOD_EMAIL + 'webhook : "http://hooks.example.com/s3cret"\nwebhookformat : "xml"\n', 1,
        "Checking loadhawk_setup.txt ...\nOK\n\nChecking loadhawk_email.txt ...\n"
        "Line 6: webhook must be https:// for a host that is not this machine (http:// only to localhost)\n"
        "Line 7: webhookformat must be one of slack, discord, teams, ntfy, json\n"
        "FAILED\n\n" + FILES + "Result: FAILED\n"),
    # the examples pass, with a warning for each value to put in
    "examples": (None, None, 0,
                 "Checking loadhawk_setup.txt ...\n" + left(7, "hostid", "my-server") + "OK\n\n"
                 "Checking loadhawk_email.txt ...\n"
                 + left(9, "server", "smtp://mail.example.invalid:587")
                 + left(10, "email", "alerts@example.invalid") + left(11, "password", "change-me")
                 + left(13, "from", "alerts@example.invalid")
                 + left(15, "to", "ops@example.invalid, oncall@example.invalid")
                 + left(17, "iamalive", "ops@example.invalid") + "OK\n\n" + FILES + "Result: OK\n"),
    "both good with CRLF": (GOOD_SETUP.replace("\n", "\r\n"), GOOD_EMAIL.replace("\n", "\r\n"), 0,
                            "Checking loadhawk_setup.txt ...\nOK\n\n"
                            "Checking loadhawk_email.txt ...\nOK\n\n" + FILES + "Result: OK\n"),
    # numbers the monitor cannot use as written, an unknown key, low
    # monitors on by default: errors and warnings; the loader's repairs named
    "values that cannot work": (
        'hostid : "h"\ninterval : "0"\ncpuhighthreshold : "190"\ncpuhighnum : "abc"\n'
        'memhighthreshold : "-5"\nmemhighnum : "5"\ncpuhighthreshhold : "90"\n',
        GOOD_EMAIL + 'sendtimeout : "abc"\n', 1,
        "Checking loadhawk_setup.txt ...\n"
        'Line 2: interval "0" is not a positive number; the monitor uses 60\n'
        'Line 3: cpuhighthreshold "190" is above 100%; CPU HIGH can never fire\n'
        'Line 4: cpuhighnum "abc" is not a number; the monitor uses 5\n'
        'Line 5: memhighthreshold "-5" is negative; the monitor uses 85\n'
        "Line 7: unknown key cpuhighthreshhold is ignored; did you mean cpuhighthreshold?\n"
        + LOW_ON + "FAILED\n\n"
        "Checking loadhawk_email.txt ...\n"
        'Line 6: sendtimeout "abc" is not a number; the monitor uses 120\nFAILED\n\n'
        + FILES + "Result: FAILED\n"),
    # a metrics file in the working directory passes, an empty value is no
    # file; a folder that is missing or is a file is reported
    "metrics files": (GOOD_SETUP + 'metricsfile : ""\nmetricsfile : "loadhawk.prom"\n'
                      'metricsfile : "gone/loadhawk.prom"\nmetricsfile : "loadhawk_email.txt/x.prom"\n',
                      GOOD_EMAIL, 1,
                      "Checking loadhawk_setup.txt ...\n"
                      "Line 11: metricsfile gone/loadhawk.prom: its folder does not exist or cannot be written\n"
                      "Line 12: metricsfile loadhawk_email.txt/x.prom: its folder does not exist or cannot be "
                      "written\nFAILED\n\n"
                      "Checking loadhawk_email.txt ...\nOK\n\n" + FILES + "Result: FAILED\n"),
    # values longer than their field, control characters in addresses, hosts
    # curl would not read as addresses, and metrics files that are our own
    "values that would be cut or mis-read": (
        GOOD_SETUP + 'hostid : "' + "h" * 100 + '"\nmetricsfile : "loadhawk_email.txt"\n'
        'metricsfile : "./loadhawk_setup.txt"\nmetricsfile : "loadhawk_run.lock"\n'
        'metricsfile : "cpumailtext.txt"\nmetricsfile : "metrics.txt"\n',
        GOOD_EMAIL + 'password : "' + "p" * 201 + '"\nemail : "e@x\rBcc: x@evil"\n'
        'from : "a@b.example\rBcc: x@evil.example"\nto : "t@x,\rBcc: x@evil"\n'
        'iamalive : "i@x\rj@y"\nserver : "smtp://127.0.0.09"\nserver : "smtp://[::ffff:127.0.0.1]:25"\n'
        'server : "smtp://..."\nserver : "smtp://-oops"\nserver : "smtp://[:]"\n'
        'server : "smtp://999.1.1.1"\nserver : "smtp://."\nserver : "smtp://0x7f.1"\n', 1,
        "Checking loadhawk_setup.txt ...\n"
        "Line 9: hostid longer than 99 characters\n"
        "Line 10: metricsfile loadhawk_email.txt is one of loadhawk's own files\n"
        "Line 11: metricsfile ./loadhawk_setup.txt is one of loadhawk's own files\n"
        "Line 12: metricsfile loadhawk_run.lock is one of loadhawk's own files\n"
        "Line 13: metricsfile cpumailtext.txt is one of loadhawk's own files\n"
        "Line 14: metricsfile metrics.txt must end in .prom\n"
        "FAILED\n\n"
        "Checking loadhawk_email.txt ...\n"
        "Line 6: password longer than 127 characters\n"
        + "".join(f"Line {n}: {key} holds a control character, which would start a line of its own"
                  " in the message\n" for n, key in ((7, "email"), (8, "from"), (9, "to"), (10, "iamalive")))
        + "".join(f"Line {n}: server must be smtp://host[:port] or smtps://host[:port] and nothing else\n"
                  for n in (11, 13, 14, 15, 16, 17))
        + "FAILED\n\n" + FILES + "Result: FAILED\n"),
    "setup missing": ("", GOOD_EMAIL, 1,
                      "Checking loadhawk_setup.txt ...\nFile not found: loadhawk_setup.txt\nFAILED\n\n"
                      "Checking loadhawk_email.txt ...\nOK\n\n" + FILES + "Result: FAILED\n"),
    "both bad": (
        'hostid : "h"\n*cpuhighthreshold = x\ninterval = "60"\ncpuhighthreshold : 85\n'
        'cpulowthreshold : "5"\n',
        'server : "s"\nchat_id : "1"\n', 1,
        "Checking loadhawk_setup.txt ...\n"
        "Line 3: '=' is not supported, use ':' instead\n"
        'Line 4: invalid format, expected key : "value"\n'
        "Missing key: interval\n"
        "Missing key: cpuhighthreshold (or old cpu_threshold / cputhreshold)\n"
        "Missing key: cpuhighnum\n"
        "Missing key: memhighthreshold (or old mem_threshold / memthreshold)\n"
        "Missing key: memhighnum\n"
        "CPU LOW config incomplete: cpulownum missing\n"
        'Warning: MEM LOW monitor is on (10%, 50 cycles) only because its lines are missing; '
        'add *memlowthreshold : "10" to switch it off\n'
        "FAILED\n\n"
        "Checking loadhawk_email.txt ...\n"
        "Line 1: server must be smtp://host[:port] or smtps://host[:port] and nothing else\n"
        "Missing key: email\nMissing key: password\nMissing key: to\n"
        "Telegram config incomplete: token missing\n"
        "FAILED\n\n" + FILES + "Result: FAILED\n"),
}


@pytest.mark.parametrize("case", sorted(CASES))
def test_check_reports_each_file(program, workdir, case):
    setup, email, rc, body = CASES[case]
    if setup is None:
        copy_examples(workdir)
    else:
        if setup:
            write_file(workdir, "loadhawk_setup.txt", setup)
        write_file(workdir, "loadhawk_email.txt", email)
    before = {p.name: p.read_bytes() for p in workdir.iterdir()}
    r = program.run("-s", "-check", cwd=workdir)
    assert (r.rc, r.out, r.err) == (rc, HEADER + body, "")
    # nothing is written: no secret rewritten, no log, no pid file
    assert {p.name: p.read_bytes() for p in workdir.iterdir()} == before


def test_native_and_windows_agree_on_hostile_bytes(native, windows, workdir):
    junk = (b"\xef\xbb\xbfhostid : \"h\"\r\n" + b"x" * 3000 + b"\n" + b"a\x00b : \"c\"\n"
            + b"interval : \"1\"\rcpuhighnum : \"2\"\r" + b"\x1a memhighnum : \"5\"\n"
            + b"\xff\xfe = \"\xfa\"\n")
    (workdir / "loadhawk_setup.txt").write_bytes(junk)
    (workdir / "loadhawk_email.txt").write_bytes(b"*" * 2000 + b"\n" + GOOD_EMAIL.encode())
    a = native.run("-check", cwd=workdir)
    b = windows.run("-check", cwd=workdir)
    assert (a.rc, a.out, a.err) == (b.rc, b.out, b.err)
    assert a.rc == 1
    assert "Line 2: invalid format" in a.out


def test_values_that_cannot_reach_curl_safely_fail_the_check(program, workdir):
    write_file(workdir, "loadhawk_setup.txt", GOOD_SETUP)
    write_file(workdir, "loadhawk_email.txt",
               'server : "smtp://h;touch PWNED"\nemail : "e@x"\npassword : "p\tw%PATH%$(id)"\n'
               'to : "t@x"\nserver : "file:///etc/passwd"\nserver : "smtps://mail.example.com:465/"\n'
               'smtptls : "never"\n')
    r = program.run("-check", cwd=workdir)
    assert r.rc == 1
    # the password reaches curl in its configuration file, so any bytes pass
    # on both platforms; the server must be one SMTP address
    server = "server must be smtp://host[:port] or smtps://host[:port] and nothing else"
    assert r.out.split("Checking loadhawk_email.txt ...\n")[1].splitlines()[:4] == [
        f"Line 1: {server}", f"Line 5: {server}", 'Line 7: smtptls must be "try" or left out',
        "FAILED"]
    assert not (workdir / "PWNED").exists()


def test_an_existing_log_passes_and_a_folder_in_the_pid_file_s_place_fails(program, workdir):
    write_file(workdir, "loadhawk_setup.txt", GOOD_SETUP)
    write_file(workdir, "loadhawk_email.txt", GOOD_EMAIL)
    write_file(workdir, "loadhawk_log.txt", "kept\n")
    (workdir / "loadhawk.pid").mkdir()
    r = program.run("-check", cwd=workdir)
    assert (r.rc, r.out.split("Checking the files loadhawk writes ...\n")[1]) == (
        1, "loadhawk_log.txt can be written\nloadhawk.pid is not a regular file: not used\n"
           "loadhawk_run.lock can be written\nFAILED\n\nResult: FAILED\n")
    assert (workdir / "loadhawk_log.txt").read_text() == "kept\n"
    assert not (workdir / "loadhawk_run.lock").exists()


def test_files_the_monitor_could_not_write_fail_the_check(native, nobody_dir):
    program = nobody_dir / "loadhawk"
    shutil.copy2(native.path, program)
    # the service's folder after a trial run as root: its files are root's
    work = nobody_dir / "work"
    work.mkdir()
    write_file(work, "loadhawk_setup.txt", GOOD_SETUP)
    write_file(work, "loadhawk_email.txt", GOOD_EMAIL)
    shutil.chown(work, "nobody", "nogroup")
    names = ["loadhawk_log.txt", "loadhawk.pid", "loadhawk_run.lock"]
    for name in names:
        (work / name).write_bytes(b"")
    before = {p.name: p.read_bytes() for p in work.iterdir()}
    r = subprocess.run(AS_NOBODY + [str(program), "-check"], cwd=work, capture_output=True, timeout=60)
    expected = "".join(f"{n} cannot be written: owner root, loadhawk runs as nobody; fix: chown nobody: {work / n}\n"
                       for n in names)
    assert (r.returncode, r.stderr) == (1, b"")
    assert ("Checking the files loadhawk writes ...\n" + expected + "FAILED\n\nResult: FAILED\n"
            in r.stdout.decode()), r.stdout
    # a folder it may not write: each missing file names the folder
    for name in names:
        (work / name).unlink()
    shutil.chown(work, "root", "root")
    work.chmod(0o755)
    r = subprocess.run(AS_NOBODY + [str(program), "-check"], cwd=work, capture_output=True, timeout=60)
    folder = f"the folder {work} is owned by root, loadhawk runs as nobody; fix: chown nobody: {work}"
    assert r.returncode == 1
    assert "".join(f"{n} cannot be written: {folder}\n" for n in names) in r.stdout.decode(), r.stdout
    # nothing made, nothing changed
    assert {p.name: p.read_bytes() for p in work.iterdir()} == {
        k: v for k, v in before.items() if k not in names}
