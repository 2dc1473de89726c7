"""The notification senders end to end, through the test driver
(tests/peers/notify_driver.cpp) until "-test" and the monitor run call them:
real curl against the loopback SMTP server and Bot API, a curl stand-in
where the exact arguments matter, and the Windows build under Wine with a
curl.exe stand-in that records what cmd.exe handed it.
"""
import os
import pathlib
import shutil
import time
import urllib.parse

import pytest

from conftest import (CONFIG_FILE, curl_config, curl_on_path, driver, log_messages, mail_bytes,
                      planted_programs_that_ran, standin_calls, wait_for)
from smtp_peer import TEST_LOGIN, TEST_PASSWORD, SmtpPeer, free_port

MESSAGE_FILE = "cpumailtext.txt"


# ------------------------------------------------------------------ helpers

@pytest.fixture
def native_driver(reaper):
    return driver("native", reaper)


@pytest.fixture
def windows_driver(reaper, workdir, tmp_path):
    d = driver("windows", reaper)
    d.curl = curl_on_path(d, workdir, tmp_path / "bin")
    yield d
    # the planted cmd.exe and curl.exe never ran, whatever the test did
    assert planted_programs_that_ran(workdir, d.curl) == []


def escape(value):
    out = []
    for ch in value:
        if ch == "\\":
            out.append("\\\\")
        elif ch == "\n":
            out.append("\\n")
        elif ord(ch) < 0x20:
            out.append(f"\\x{ord(ch):02x}")
        else:
            out.append(ch)
    return "".join(out)


def settings_file(directory, **values):
    path = pathlib.Path(directory) / "driver_settings.txt"
    text = "".join(f"{key}={escape(str(value))}\n" for key, value in values.items())
    path.write_bytes(text.encode("latin-1"))
    return path.name


def mail_values(server, **extra):
    values = dict(server=server, email=TEST_LOGIN, password=TEST_PASSWORD,
                  **{"from": TEST_LOGIN}, recipients=" ops@example.com ,, oncall@example.com ",
                  subject="ALERT CPU HIGH 97.3%", body="Now: 2026-01-02 03:04:05\nCPU: 97.3%\n",
                  sendtimeout=30)
    values.update(extra)
    return values


def message_bytes(values, data):
    return mail_bytes(values["from"], values["recipients"], values["subject"], values["body"], data)


def processes_with(marker):
    """Pids of running (not zombie) processes whose command line holds `marker`."""
    found = []
    for entry in pathlib.Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            cmdline = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode("latin-1")
            stat = (entry / "stat").read_text()
        except OSError:
            continue
        if marker in cmdline and stat[stat.rfind(")") + 2] != "Z":
            found.append(int(entry.name))
    return found


# ------------------------------------------------------------------ real curl, native

def test_mail_through_real_curl_arrives_whole(native_driver, workdir, smtp_server):
    values = mail_values(smtp_server.url)
    r = native_driver.run("email", settings_file(workdir, **values), cwd=workdir)
    assert (r.rc, r.out) == (0, "Sending email alert ...\nEmail command rc=0\n")
    assert log_messages(workdir) == ["Send email to  ops@example.com ,, oncall@example.com ",
                                     "Email sent to  ops@example.com ,, oncall@example.com "]
    [message] = smtp_server.messages
    assert message.login == TEST_LOGIN
    assert message.mail_from == TEST_LOGIN
    # one envelope recipient per address, in list order
    assert message.rcpt_tos == ["ops@example.com", "oncall@example.com"]
    # the message file's bytes: the headers, the body, CRLF line ends only
    assert message.data == message_bytes(values, message.data)
    assert b"\n" not in message.data.replace(b"\r\n", b"")
    assert not (workdir / MESSAGE_FILE).exists()
    assert not (workdir / CONFIG_FILE).exists()


@pytest.mark.parametrize("password", ['say "hi"\\', "tab\there $HOME %PATH% `id`", "\\\\\\"])
def test_any_password_reaches_the_server_through_curls_configuration(native_driver, workdir,
                                                                      password):
    peer = SmtpPeer(password=password).start()
    try:
        r = native_driver.run("email", settings_file(workdir, **mail_values(
            peer.url, password=password)), cwd=workdir)
        assert (r.rc, r.out) == (0, "Sending email alert ...\nEmail command rc=0\n")
        [message] = peer.messages
        assert message.login == TEST_LOGIN
    finally:
        peer.stop()


def test_mail_with_wrong_password_or_closed_port_fails(native_driver, workdir, smtp_server):
    r = native_driver.run("email", settings_file(workdir, **mail_values(
        smtp_server.url, password="wrong")), cwd=workdir)
    assert r.rc == 1
    lines = r.out.splitlines()
    assert lines[0] == "Sending email alert ..."
    assert lines[1].startswith("Email command rc=") and lines[1] != "Email command rc=0"
    assert smtp_server.messages == []

    closed = f"smtp://127.0.0.1:{free_port()}"
    r = native_driver.run("email", settings_file(workdir, **mail_values(closed)), cwd=workdir)
    assert r.rc == 1
    # could not connect: the meaning on the console too
    assert r.out == ("Sending email alert ...\nEmail command rc=7\n"
                     "Email not sent: curl rc=7 (no connection to the server)\n")
    # silent or not, the log says why
    assert log_messages(workdir)[1::2] == ["Email not sent: curl rc=67 (login denied)",
                                           "Email not sent: curl rc=7 (no connection to the server)"]
    assert not (workdir / MESSAGE_FILE).exists()


def test_telegram_through_real_curl_reaches_the_bot_api(native_driver, workdir, bot_api):
    token = "123456789:AAE-x_y.z~"
    text = "ALERT CPU HIGH\nHost: box\nCPU: 97.3% >= 90%\n+ caf\xc3\xa9 & more?"
    r = native_driver.run("telegram", settings_file(
        workdir, token=token, chat_id="@my_channel", telegram_api=bot_api.base, text=text),
        cwd=workdir)
    assert (r.rc, r.out) == (0, "Sending Telegram alert ...\nTelegram command rc=0\n")
    assert log_messages(workdir) == ["Send Telegram alert to chat_id @my_channel",
                                     "Telegram sent to chat_id @my_channel"]
    [request] = bot_api.requests
    path, _, query = request.partition("?")
    assert path == "/bot123456789%3AAAE-x_y.z~/sendMessage"
    assert urllib.parse.unquote(path) == f"/bot{token}/sendMessage"
    assert urllib.parse.parse_qsl(query, encoding="latin-1") == [
        ("chat_id", "@my_channel"), ("text", text)]


# ------------------------------------------------------------------ curl stand-in, native

HOSTILE = [
    "p$(touch PWNED)w",
    "a`touch PWNED`b",
    "x\"; touch PWNED; echo \"",
    "back\\slash\\",
    "100% %PATH% & | < > ^ ( ) ; ' !",
]


@pytest.mark.parametrize("value", HOSTILE)
def test_hostile_values_reach_curl_unchanged(native_driver, workdir, fake_curl, value):
    values = mail_values("smtp://127.0.0.1:25", password=value, **{"from": value + "@x"},
                         recipients=f"{value}@y, b@z")
    r = native_driver.run("email", settings_file(workdir, **values), cwd=workdir,
                          env=fake_curl.env())
    assert (r.rc, r.out) == (0, "Sending email alert ...\nEmail command rc=0\n")
    [call] = fake_curl.calls()
    assert call["argv"] == ["-s", "smtp://127.0.0.1:25", "--mail-from", value + "@x", "--ssl",
                            "-K", CONFIG_FILE, "-T", MESSAGE_FILE,
                            "--mail-rcpt", f"{value}@y", "--mail-rcpt", "b@z"]
    assert call["config"] == curl_config("user", f"{TEST_LOGIN}:{value}")
    message = call["message"].encode("latin-1")
    assert message == message_bytes(values, message)
    assert not (workdir / "PWNED").exists()


@pytest.mark.parametrize("server", [
    "smtp://h;touch PWNED",
    "smtp://mail.example.com -T /etc/passwd",
    "file:///tmp/overwritten",
    "smtp://user@mail.example.com:587",
    "smtp://mail.example.com:587/path",
    "smtps://mail.example.com:70000",
])
def test_server_that_is_not_one_smtp_address_runs_nothing(native_driver, workdir, fake_curl,
                                                          server):
    values = mail_values(server)
    r = native_driver.run("email", settings_file(workdir, **values), cwd=workdir,
                          env=fake_curl.env())
    reason = "Email not sent: server must be smtp://host[:port] or smtps://host[:port] and nothing else"
    assert (r.rc, r.out) == (1, f"Sending email alert ...\n{reason}\n")
    assert log_messages(workdir)[1:] == [reason]
    assert fake_curl.calls() == []
    assert not (workdir / "PWNED").exists()
    assert not (workdir / MESSAGE_FILE).exists()


def test_hanging_curl_is_ended_after_the_send_timeout(native_driver, workdir, fake_curl):
    values = mail_values("smtp://127.0.0.1:25", sendtimeout=1)
    started = time.monotonic()
    r = native_driver.run("email", settings_file(workdir, **values), cwd=workdir,
                          env=fake_curl.env(FAKE_CURL_HANG=300), timeout=120)
    assert time.monotonic() - started < 100
    assert (r.rc, r.out) == (1, "Sending email alert ...\nEmail command rc=124\n"
                                "Email not sent: curl rc=124 (sendtimeout ran out)\n")
    [call] = fake_curl.calls()
    assert call["hung"]
    assert wait_for(lambda: not processes_with(str(fake_curl.bin))), "curl still runs"
    assert not (workdir / MESSAGE_FILE).exists()


def test_secrets_never_stand_on_a_command_line(native_driver, workdir, fake_curl, bot_api):
    """While curl runs, no process's command line (ps, /proc/PID/cmdline)
    shows the SMTP password or the bot token, in any form."""
    # secrets of this run alone: other tests on the machine may show theirs
    unique = f"{os.getpid()}x{time.monotonic_ns()}"
    password = f"pass {unique}"
    token = f"123456789:AAE-token-{unique}"
    secrets = [password, token, urllib.parse.quote(token, safe=""), token.split(":")[1]]
    sends = {
        "email": mail_values("smtp://127.0.0.1:25", password=password),
        "telegram": dict(token=token, chat_id="-100", telegram_api=bot_api.base, text="CPU 97%"),
    }
    for mode, values in sends.items():
        proc = native_driver.spawn(mode, settings_file(workdir, **values), cwd=workdir,
                                   env=fake_curl.env(FAKE_CURL_SLEEP=2))
        seen_curl = 0
        while proc.poll() is None:
            for entry in pathlib.Path("/proc").iterdir():
                try:
                    cmdline = (entry / "cmdline").read_bytes().decode("latin-1")
                except OSError:
                    continue
                assert not any(secret in cmdline for secret in secrets), (mode, cmdline)
                seen_curl += str(fake_curl.bin) in cmdline
            time.sleep(0.05)
        assert proc.returncode == 0, (mode, proc.stdout.read())
        assert seen_curl > 0, "the scan never met curl running"
    mail, telegram = fake_curl.calls()
    assert mail["config"] == curl_config("user", f"{TEST_LOGIN}:{password}")
    assert telegram["argv"] == ["-s", "--fail", "-K", CONFIG_FILE]
    assert telegram["config"] == curl_config(
        "url", f"{bot_api.base}/bot123456789%3AAAE-token-{unique}/sendMessage"
               "?chat_id=-100&text=CPU+97%25")
    assert not (workdir / CONFIG_FILE).exists()


def test_two_copies_in_one_directory_never_share_the_message_file(native_driver, workdir,
                                                                   fake_curl):
    """A "-test" beside a background monitor: each curl sees its own message."""
    env = fake_curl.env(FAKE_CURL_SLEEP=0.5)
    procs = []
    for n in range(4):
        sub = workdir / f"settings{n}"
        sub.mkdir()
        name = settings_file(sub, **mail_values("smtp://127.0.0.1:25", subject=f"copy {n}"))
        procs.append(native_driver.spawn("email", f"settings{n}/{name}", cwd=workdir, env=env))
    for p in procs:
        p.wait(timeout=120)
        assert p.returncode == 0
    calls = fake_curl.calls()
    assert len(calls) == 4
    subjects = sorted(c["message"].split("\r\n")[2] for c in calls)
    assert subjects == [f"Subject: copy {n}" for n in range(4)]
    for c in calls:
        assert c["message_after"] == c["message"]
    assert not (workdir / MESSAGE_FILE).exists()


# ------------------------------------------------------------------ Windows build under Wine

def test_windows_mail_command_as_curl_sees_it(windows_driver, workdir):
    values = mail_values("smtp://127.0.0.1:25", **{"from": "loadhawk <alerts@example.com>"})
    r = windows_driver.run("email", settings_file(workdir, **values), cwd=workdir)
    assert (r.rc, r.out) == (0, "Sending email alert ...\nEmail command rc=0\n")
    # the stand-in on PATH ran, named by its full path
    [call] = standin_calls(workdir)
    assert call["exe"] == windows_driver.curl
    # the command line as curl.exe got it holds no secret: the login is in -K's file
    assert call["line"] == (
        f'"{windows_driver.curl}" -s smtp://127.0.0.1:25 --mail-from "loadhawk <alerts@example.com>" --ssl'
        ' -K "cpucurlconf.txt" -T "cpumailtext.txt"'
        ' --mail-rcpt "ops@example.com" --mail-rcpt "oncall@example.com"')
    assert call["args"] == ["-s", "smtp://127.0.0.1:25", "--mail-from",
                            "loadhawk <alerts@example.com>", "--ssl", "-K", CONFIG_FILE,
                            "-T", MESSAGE_FILE,
                            "--mail-rcpt", "ops@example.com", "--mail-rcpt", "oncall@example.com"]
    assert call["config"] == curl_config("user", f"{TEST_LOGIN}:{TEST_PASSWORD}")
    # the file curl read has CRLF line ends, and both files are gone afterwards
    assert call["file"] == message_bytes(values, call["file"])
    assert not (workdir / MESSAGE_FILE).exists()
    assert not (workdir / CONFIG_FILE).exists()
    assert log_messages(workdir) == ["Send email to  ops@example.com ,, oncall@example.com ",
                                     "Email sent to  ops@example.com ,, oncall@example.com "]


WINDOWS_HOSTILE = [
    "p%PATH%w",
    "%%PATH%%",
    "a\\%b",
    "tail\\",
    "two\\\\",
    "& | < > ^ ( ) $(x) `x` ' ! ;",
    "%USERNAME%&echo PWNED>PWNED",
    "caf\xe9 100%",
    "Pa!OS!w0rd",  # !NAME! expansion stays off, whatever the registry says
]


@pytest.mark.parametrize("value", WINDOWS_HOSTILE)
def test_windows_hostile_values_reach_curl_unchanged(windows_driver, workdir, value):
    values = mail_values("smtp://127.0.0.1:25", password=value, **{"from": value},
                         recipients=f"{value}@y,b@z")
    r = windows_driver.run("email", settings_file(workdir, **values), cwd=workdir)
    assert (r.rc, r.out) == (0, "Sending email alert ...\nEmail command rc=0\n")
    [call] = standin_calls(workdir)
    assert call["args"] == ["-s", "smtp://127.0.0.1:25", "--mail-from", value, "--ssl", "-K",
                            CONFIG_FILE, "-T", MESSAGE_FILE,
                            "--mail-rcpt", f"{value}@y", "--mail-rcpt", "b@z"]
    assert call["config"] == curl_config("user", f"{TEST_LOGIN}:{value}")
    assert not (workdir / "PWNED").exists()


def test_windows_passes_any_password_and_refuses_what_cmd_cannot_pass(windows_driver, workdir):
    # the password goes to curl's configuration file, where a quote or a tab passes
    password = 'pa"ss\tword&echo PWNED>PWNED'
    values = mail_values("smtp://127.0.0.1:25", password=password)
    r = windows_driver.run("email", settings_file(workdir, **values), cwd=workdir)
    assert (r.rc, r.out) == (0, "Sending email alert ...\nEmail command rc=0\n")
    [call] = standin_calls(workdir)
    assert call["config"] == curl_config("user", f"{TEST_LOGIN}:{password}")
    # a value that stays on the command line still cannot hold a quote there
    (workdir / "curl_standin.log").unlink()
    values = mail_values("smtp://127.0.0.1:25", **{"from": 'a"b&echo PWNED>PWNED'})
    r = windows_driver.run("email", settings_file(workdir, **values), cwd=workdir)
    reason = ("Email not sent: from holds a double quote or a control character,"
              " which cmd.exe cannot pass on safely")
    assert (r.rc, r.out) == (1, f"Sending email alert ...\n{reason}\n")
    assert standin_calls(workdir) == []
    assert not (workdir / "PWNED").exists()


def test_windows_telegram_address_as_curl_sees_it(windows_driver, workdir):
    values = dict(token="123:AB%CD", chat_id="@chan", telegram_api="http://127.0.0.1:9",
                  text="CPU 97.3% >= 90%\n%PATH%")
    r = windows_driver.run("telegram", settings_file(workdir, **values), cwd=workdir)
    assert (r.rc, r.out) == (0, "Sending Telegram alert ...\nTelegram command rc=0\n")
    [call] = standin_calls(workdir)
    # the address, token included, reaches curl in its configuration file only
    assert call["args"] == ["-s", "--fail", "-K", CONFIG_FILE]
    assert "123" not in call["line"] and "AB" not in call["line"]
    assert call["config"] == curl_config("url", "http://127.0.0.1:9/bot123%3AAB%25CD/sendMessage"
                                         "?chat_id=%40chan&text=CPU+97.3%25+%3E%3D+90%25%0A%25PATH%25")
    assert not (workdir / CONFIG_FILE).exists()
    assert log_messages(workdir) == ["Send Telegram alert to chat_id @chan",
                                     "Telegram sent to chat_id @chan"]


def run_command(drv, workdir, command, timeout_seconds=30, env=None):
    (workdir / "command.txt").write_bytes(command.encode("latin-1"))
    r = drv.run("run", str(timeout_seconds), "command.txt", cwd=workdir, env=env, timeout=120)
    assert r.out.startswith("rc="), r
    return int(r.out[3:].strip())


def test_windows_runner_exit_codes_cut_and_working_directory(windows_driver, workdir):
    assert run_command(windows_driver, workdir, "exit 3") == 3
    assert run_command(windows_driver, workdir, "exit 0") == 0
    assert run_command(windows_driver, workdir, "") == -1
    (workdir / "input.txt").write_text("from the working directory")
    assert run_command(windows_driver, workdir, "type input.txt > copy.txt") == 0
    assert (workdir / "copy.txt").read_text().strip() == "from the working directory"
    # cmd.exe reads at most 8191 characters after /C: the command between
    # quotes, "curl" named by its full path in quotes
    head = "curl -s "
    limit = 8191 - len(windows_driver.curl)
    for length, kept in ((limit, limit), (limit + 1, limit)):
        (workdir / "curl_standin.log").unlink(missing_ok=True)
        assert run_command(windows_driver, workdir, head + "A" * (length - len(head))) == 0
        [call] = standin_calls(workdir)
        assert call["args"] == ["-s", "A" * (kept - len(head))]


def test_windows_overrun_ends_cmd_and_curl(windows_driver, workdir):
    marker = f"hang-marker-{os.getpid()}"
    started = time.monotonic()
    rc = run_command(windows_driver, workdir, f"curl -s {marker}", timeout_seconds=2,
                     env={"CURL_STANDIN_HANG": "300"})
    assert rc == 124
    assert time.monotonic() - started < 100
    [call] = standin_calls(workdir)
    assert call["args"] == ["-s", marker]
    # the job object ended cmd.exe and the curl it started
    assert wait_for(lambda: not processes_with(marker)), processes_with(marker)
    assert not call["woke"]
