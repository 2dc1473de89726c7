"""The notification senders end to end through "-test": real curl against
the loopback SMTP server and Bot API, the curl stand-in where the exact
arguments matter, and the Windows build under Wine with the curl.exe
stand-in that records what cmd.exe handed it.
"""
import os
import re
import time
import urllib.parse

import pytest

from conftest import (CONFIG_FILE, curl_config, curl_failure_line, curl_on_path, log_messages, mail_bytes,
                      planted_programs_that_ran, standin_calls, wait_for, write_file)
from smtp_peer import TEST_LOGIN, TEST_PASSWORD, SmtpPeer

MESSAGE_FILE = "cpumailtext.txt"
TEST_SUBJECT = "[TEST] loadhawk notification test"
# the loader trims a value's outer blanks; an empty entry of the list is skipped
RECIPIENTS = " ops@example.com ,, oncall@example.com "
STORED_RECIPIENTS = RECIPIENTS.strip()
STAMP = rb"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d"


# ------------------------------------------------------------------ helpers

def settings(directory, server=None, password=TEST_PASSWORD, sender=TEST_LOGIN, to=RECIPIENTS,
             token=None, chat_id=None, telegram_api=None, sendtimeout=30):
    """The two settings files of a "-test" in `directory`."""
    lines = []
    if server is not None:
        lines += [f'server : "{server}"', f'email : "{TEST_LOGIN}"', f'password : "{password}"',
                  f'from : "{sender}"', f'to : "{to}"']
    if token is not None:
        lines += [f'token : "{token}"', f'chat_id : "{chat_id}"']
    if telegram_api is not None:
        lines.append(f'telegram_api : "{telegram_api}"')
    lines.append(f'sendtimeout : "{sendtimeout}"')
    write_file(directory, "loadhawk_setup.txt", 'hostid : "h"\n')
    write_file(directory, "loadhawk_email.txt", "".join(line + "\n" for line in lines))


def console(email, telegram, email_rc=0, telegram_rc=0, email_reason=None):
    """What "-test" prints: None for a channel that is not configured."""
    def part(label, name, state, rc, reason=None):
        if state is None:
            return f"{label} not configured\n"
        outcome = reason if reason is not None else f"{label} command rc={rc}"
        if reason is None and not state:
            outcome += "\n" + curl_failure_line(label, rc)
        return f"Sending {name} alert ...\n{outcome}\n{label} test {'OK' if state else 'FAILED'}\n"

    def word(state):
        return "not configured" if state is None else "OK" if state else "FAILED"

    return ("Testing Email alert...\n" + part("Email", "email", email, email_rc, email_reason)
            + "\nTesting Telegram alert...\n" + part("Telegram", "Telegram", telegram, telegram_rc)
            + "\nTesting Webhook alert...\nWebhook not configured\n"
            + f"\nTest result:\nEmail    : {word(email)}\nTelegram : {word(telegram)}\n"
            + "Webhook  : not configured\n")


def expected_test_mail(sender, to, data):
    """The test message as the program writes it, with the host, time, Date
    and Message-ID that `data` (the message curl read or sent) carries."""
    match = re.search(rb"\r\n\r\nThis is a test message from loadhawk\.\r\n\r\nHost: ([^\r\n]+)\r\n"
                      rb"Time: (" + STAMP + rb")\r\n", data)
    assert match, data
    host, stamp = (g.decode("latin-1") for g in match.groups())
    return mail_bytes(sender, to, TEST_SUBJECT, (
        "This is a test message from loadhawk.\n\n"
        f"Host: {host}\nTime: {stamp}\n\n"
        "If you received this message, email notification is working correctly.\n"), data)


def processes_with(marker):
    """Pids of running (not zombie) processes whose command line holds `marker`."""
    found = []
    for entry in os.scandir("/proc"):
        if not entry.name.isdigit():
            continue
        try:
            with open(f"/proc/{entry.name}/cmdline", "rb") as f:
                cmdline = f.read().replace(b"\0", b" ").decode("latin-1")
            # another process's name may hold any bytes
            with open(f"/proc/{entry.name}/stat", encoding="latin-1") as f:
                stat = f.read()
        except OSError:
            continue
        if marker in cmdline and stat[stat.rfind(")") + 2] != "Z":
            found.append(int(entry.name))
    return found


@pytest.fixture
def windows_curl(windows, workdir, tmp_path):
    """The Windows build with the curl.exe stand-in on Wine's PATH."""
    windows.curl = curl_on_path(windows, workdir, tmp_path / "bin")
    yield windows
    # the planted cmd.exe and curl.exe never ran, whatever the test did
    assert planted_programs_that_ran(workdir, windows.curl) == []


# ------------------------------------------------------------------ real curl, native

def test_mail_through_real_curl_arrives_whole(native, workdir, smtp_server):
    settings(workdir, smtp_server.url)
    r = native.run("-test", cwd=workdir)
    assert (r.rc, r.out) == (0, console(True, None))
    assert log_messages(workdir)[:2] == [f"Send email to {STORED_RECIPIENTS}",
                                         f"Email sent to {STORED_RECIPIENTS}"]
    [message] = smtp_server.messages
    assert message.login == TEST_LOGIN
    assert message.mail_from == TEST_LOGIN
    # one envelope recipient per address, in list order, the empty one left out
    assert message.rcpt_tos == ["ops@example.com", "oncall@example.com"]
    # the message file's bytes: the headers, the body, CRLF line ends only
    assert message.data == expected_test_mail(TEST_LOGIN, STORED_RECIPIENTS, message.data)
    assert b"\n" not in message.data.replace(b"\r\n", b"")
    assert not (workdir / MESSAGE_FILE).exists()
    assert not (workdir / CONFIG_FILE).exists()


# a settings value ends at its second double quote, so none can hold one
@pytest.mark.parametrize("password", ["say 'hi'\\", "tab\there $HOME %PATH% `id`", "\\\\\\"])
def test_any_password_reaches_the_server_through_curls_configuration(native, workdir, password):
    peer = SmtpPeer(password=password).start()
    try:
        settings(workdir, peer.url, password=password)
        r = native.run("-test", cwd=workdir)
        assert (r.rc, r.out) == (0, console(True, None))
        [message] = peer.messages
        assert message.login == TEST_LOGIN
    finally:
        peer.stop()


def test_telegram_address_through_real_curl_reaches_the_bot_api(native, workdir, bot_api):
    token = "123456789:AAE-x_y.z~"
    settings(workdir, token=token, chat_id="@my_channel", telegram_api=bot_api.base)
    r = native.run("-test", cwd=workdir)
    assert (r.rc, r.out) == (0, console(None, True))
    assert log_messages(workdir)[1:3] == ["Send Telegram alert to chat_id @my_channel",
                                          "Telegram sent to chat_id @my_channel"]
    [request] = bot_api.requests
    path, _, query = request.partition("?")
    assert path == "/bot123456789%3AAAE-x_y.z~/sendMessage"
    assert urllib.parse.unquote(path) == f"/bot{token}/sendMessage"
    [chat, text] = urllib.parse.parse_qsl(query, encoding="latin-1")
    assert chat == ("chat_id", "@my_channel")
    assert text[0] == "text" and text[1].startswith(f"{TEST_SUBJECT}\nHost: ")


# ------------------------------------------------------------------ curl stand-in, native

HOSTILE = [
    "p$(touch PWNED)w",
    "a`touch PWNED`b",
    "x'; touch PWNED; echo '",
    "back\\slash\\",
    "100% %PATH% & | < > ^ ( ) ; ' !",
]


@pytest.mark.parametrize("value", HOSTILE)
def test_hostile_values_reach_curl_unchanged(native, workdir, fake_curl, value):
    to = f"{value}@y, b@z"
    settings(workdir, "smtp://127.0.0.1:25", password=value, sender=value + "@x", to=to)
    r = native.run("-test", cwd=workdir, env=fake_curl.env())
    assert (r.rc, r.out) == (0, console(True, None))
    [call] = fake_curl.calls()
    assert call["args"] == ["-s", "smtp://127.0.0.1:25", "--mail-from", value + "@x", "--ssl",
                            "-K", CONFIG_FILE, "-T", MESSAGE_FILE,
                            "--mail-rcpt", f"{value}@y", "--mail-rcpt", "b@z"]
    assert call["config"] == curl_config("user", f"{TEST_LOGIN}:{value}")
    assert call["file"] == expected_test_mail(value + "@x", to, call["file"])
    assert not (workdir / "PWNED").exists()


SERVER_REASON = "server must be smtp://host[:port] or smtps://host[:port] and nothing else"
CONTROL_REASON = "holds a control character, which would start a line of its own in the message"


@pytest.mark.parametrize("values, reason", [
    (dict(server="smtp://h;touch PWNED"), SERVER_REASON),
    (dict(server="smtp://mail.example.com -T /etc/passwd"), SERVER_REASON),
    (dict(server="file:///tmp/overwritten"), SERVER_REASON),
    (dict(server="smtp://user@mail.example.com:587"), SERVER_REASON),
    (dict(server="smtp://mail.example.com:587/path"), SERVER_REASON),
    (dict(server="smtps://mail.example.com:70000"), SERVER_REASON),
    (dict(server="smtp://127.0.0.09:25"), SERVER_REASON),  # curl would look it up as a name
    (dict(sender="a@b.example\rBcc: x@evil.example"), "from " + CONTROL_REASON),
    (dict(to="ops@example.com,\rBcc: x@evil.example"), "recipient list " + CONTROL_REASON),
    (dict(password="p" * 201), "password longer than 127 characters"),
])
def test_value_that_cannot_be_sent_runs_nothing(native, workdir, fake_curl, values, reason):
    settings(workdir, **{"server": "smtp://mail.example.com:587", **values})
    r = native.run("-test", cwd=workdir, env=fake_curl.env())
    reason = "Email not sent: " + reason
    assert (r.rc, r.out) == (1, console(False, None, email_reason=reason))
    assert reason in log_messages(workdir)
    assert fake_curl.calls() == []
    assert not (workdir / "PWNED").exists()
    assert not (workdir / MESSAGE_FILE).exists()


def test_hanging_curl_is_ended_after_the_send_timeout(native, workdir, fake_curl):
    settings(workdir, "smtp://127.0.0.1:25", sendtimeout=1)
    started = time.monotonic()
    r = native.run("-test", cwd=workdir, env=fake_curl.env(HANG=300), timeout=120)
    assert time.monotonic() - started < 100
    assert (r.rc, r.out) == (1, console(False, None, email_rc=124))
    [call] = fake_curl.calls()
    assert call["hung"]
    assert wait_for(lambda: not fake_curl.running()), "curl still runs"
    assert not (workdir / MESSAGE_FILE).exists()


def test_secrets_never_stand_on_a_command_line(native, workdir, fake_curl, bot_api):
    """While curl runs, no process's command line (ps, /proc/PID/cmdline)
    shows the SMTP password or the bot token, in any form."""
    # secrets of this run alone: other tests on the machine may show theirs
    unique = f"{os.getpid()}x{time.monotonic_ns()}"
    password = f"pass {unique}"
    token = f"123456789:AAE-token-{unique}"
    secrets = [password, token, urllib.parse.quote(token, safe=""), token.split(":")[1]]
    settings(workdir, "smtp://127.0.0.1:25", password=password, token=token, chat_id="-100",
             telegram_api=bot_api.base)
    proc = native.spawn("-test", cwd=workdir, env=fake_curl.env(SLEEP=2))
    seen_curl = 0
    while proc.poll() is None:
        seen_curl += len(fake_curl.running())
        for entry in os.scandir("/proc"):
            try:
                with open(f"/proc/{entry.name}/cmdline", "rb") as f:
                    cmdline = f.read().decode("latin-1")
            except OSError:
                continue
            assert not any(secret in cmdline for secret in secrets), cmdline
        time.sleep(0.05)
    assert proc.returncode == 0, proc.stdout.read()
    assert seen_curl > 0, "the scan never met curl running"
    mail, telegram = fake_curl.calls()
    assert mail["config"] == curl_config("user", f"{TEST_LOGIN}:{password}")
    assert telegram["args"] == ["-s", "--fail", "-K", CONFIG_FILE]
    assert telegram["config"].startswith(curl_config(
        "url", f"{bot_api.base}/bot123456789%3AAAE-token-{unique}/sendMessage?chat_id=-100&text=")[:-2])
    assert not (workdir / CONFIG_FILE).exists()


# ------------------------------------------------------------------ Windows build under Wine

def test_windows_mail_command_as_curl_sees_it(windows_curl, workdir):
    sender = "loadhawk <alerts@example.com>"
    settings(workdir, "smtp://127.0.0.1:25", sender=sender)
    r = windows_curl.run("-test", cwd=workdir)
    assert (r.rc, r.out) == (0, console(True, None))
    # the stand-in on PATH ran, named by its full path
    [call] = standin_calls(workdir)
    assert call["exe"] == windows_curl.curl
    # the command line as curl.exe got it holds no secret: the login is in -K's file
    assert call["line"] == (
        f'"{windows_curl.curl}" -s smtp://127.0.0.1:25 --mail-from "{sender}" --ssl'
        ' -K "cpucurlconf.txt" -T "cpumailtext.txt"'
        ' --mail-rcpt "ops@example.com" --mail-rcpt "oncall@example.com"')
    assert call["config"] == curl_config("user", f"{TEST_LOGIN}:{TEST_PASSWORD}")
    # the file curl read, from the working directory, has CRLF line ends;
    # both files are gone afterwards
    assert call["file"] == expected_test_mail(sender, STORED_RECIPIENTS, call["file"])
    assert not (workdir / MESSAGE_FILE).exists()
    assert not (workdir / CONFIG_FILE).exists()


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
def test_windows_hostile_values_reach_curl_unchanged(windows_curl, workdir, value):
    settings(workdir, "smtp://127.0.0.1:25", password=value, sender=value, to=f"{value}@y,b@z")
    r = windows_curl.run("-test", cwd=workdir)
    assert (r.rc, r.out) == (0, console(True, None))
    [call] = standin_calls(workdir)
    assert call["args"] == ["-s", "smtp://127.0.0.1:25", "--mail-from", value, "--ssl", "-K",
                            CONFIG_FILE, "-T", MESSAGE_FILE,
                            "--mail-rcpt", f"{value}@y", "--mail-rcpt", "b@z"]
    assert call["config"] == curl_config("user", f"{TEST_LOGIN}:{value}")
    assert not (workdir / "PWNED").exists()


def test_windows_passes_any_password_and_refuses_what_cmd_cannot_pass(windows_curl, workdir):
    # the password goes to curl's configuration file, where a tab passes
    password = "pa'ss\tword&echo PWNED>PWNED"
    settings(workdir, "smtp://127.0.0.1:25", password=password)
    r = windows_curl.run("-test", cwd=workdir)
    assert (r.rc, r.out) == (0, console(True, None))
    [call] = standin_calls(workdir)
    assert call["config"] == curl_config("user", f"{TEST_LOGIN}:{password}")
    # an address cannot hold a control character, here or on any platform
    (workdir / "curl_standin.log").unlink()
    settings(workdir, "smtp://127.0.0.1:25", sender="a\tb&echo PWNED>PWNED")
    r = windows_curl.run("-test", cwd=workdir)
    reason = ("Email not sent: from holds a control character, which would start a line of its own"
              " in the message")
    assert (r.rc, r.out) == (1, console(False, None, email_reason=reason))
    assert standin_calls(workdir) == []
    assert not (workdir / "PWNED").exists()


def test_windows_telegram_address_as_curl_sees_it(windows_curl, workdir):
    settings(workdir, token="123:AB%CD", chat_id="@chan", telegram_api="http://127.0.0.1:9")
    r = windows_curl.run("-test", cwd=workdir)
    assert (r.rc, r.out) == (0, console(None, True))
    [call] = standin_calls(workdir)
    # the address, token included, reaches curl in its configuration file only
    assert call["args"] == ["-s", "--fail", "-K", CONFIG_FILE]
    assert "123" not in call["line"] and "AB" not in call["line"]
    address = re.fullmatch(r'url = "(.*)"\n', call["config"]).group(1)
    head = "http://127.0.0.1:9/bot123%3AAB%25CD/sendMessage?chat_id=%40chan&text="
    assert address.startswith(head)
    assert urllib.parse.unquote_plus(address[len(head):]).startswith(f"{TEST_SUBJECT}\nHost: ")
    assert not (workdir / CONFIG_FILE).exists()
    assert log_messages(workdir)[1:3] == ["Send Telegram alert to chat_id @chan",
                                          "Telegram sent to chat_id @chan"]


@pytest.mark.parametrize("rc", [3, 0])
def test_windows_curl_exit_code_is_the_outcome(windows_curl, workdir, rc):
    settings(workdir, "smtp://127.0.0.1:25")
    r = windows_curl.run("-test", cwd=workdir, env={"CURL_STANDIN_RC": str(rc)})
    assert (r.rc, r.out) == (0 if rc == 0 else 1, console(rc == 0, None, email_rc=rc))
    assert len(standin_calls(workdir)) == 1


def test_windows_overrun_ends_cmd_and_curl(windows_curl, workdir):
    marker = f"hang-marker-{os.getpid()}"
    settings(workdir, "smtp://127.0.0.1:25", to=f"{marker}@example.com", sendtimeout=2)
    started = time.monotonic()
    r = windows_curl.run("-test", cwd=workdir, env={"CURL_STANDIN_HANG": "300"}, timeout=120)
    assert (r.rc, r.out) == (1, console(False, None, email_rc=124))
    assert time.monotonic() - started < 100
    [call] = standin_calls(workdir)
    assert call["args"][-2:] == ["--mail-rcpt", f"{marker}@example.com"]
    # the job object ended cmd.exe and the curl it started
    assert wait_for(lambda: not processes_with(marker)), processes_with(marker)
    assert not call["woke"]
