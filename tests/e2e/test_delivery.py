"""Notices leaving the machine from the real program: "-test", alerts of a
monitor run, and alert, recovery and heartbeat texts, through real curl to
the loopback SMTP server and Bot API stand-in; the Windows build under Wine
with the curl.exe stand-in; and delivery faults, after which the monitor
must keep cycling.

Every process a test starts is ended by pid (the `reaper` fixture).
"""
import email
import email.policy
import getpass
import os
import re
import shutil
import socket
import subprocess
import sys
import threading
import time
import urllib.parse
from pathlib import Path

import pytest

from conftest import (CONFIG_FILE, ROOT, WINE, Monitor, curl_config, curl_failure_line, curl_on_path, log_messages,
                      mail_bytes, planted_programs_that_ran, standin_calls, wait_for,
                      wine_environment, write_file)
from smtp_peer import TEST_LOGIN, TEST_PASSWORD, free_port

STAMP = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d"
MESSAGE_FILE = "cpumailtext.txt"
TOKEN = "123456789:AAE-test_token"
CHAT_ID = "-1001234567890"
TO = "ops@example.com, oncall@example.com"
TEST_SUBJECT = "[TEST] loadhawk notification test"

# a monitor run that alerts in its first cycle: CPU LOW at 100% holds in
# every cycle, and so does MEM HIGH at 1%
ALERTING_SETUP = """hostid : "e2e-host"
interval : "1"
*cpuhighthreshold : "85"
memhighthreshold : "1"
memhighnum : "1"
cpulowthreshold : "100"
cpulownum : "1"
*memlowthreshold : "10"
"""

# the version the build gives the program: the one on the project() line
PROJECT_VERSION = re.search(r"^project\(loadhawk VERSION (\S+)",
                            (ROOT / "CMakeLists.txt").read_text(), re.M).group(1)

# the "Using CPU now" block of an alert in the first cycle
FIRST_CYCLE = r"Using CPU now: no share yet \(first cycle since start\)"

# the header lines after the subject (their values checked elsewhere)
HEADS = (r"Date: [^\r]+\r\nMessage-ID: [^\r]+\r\nMIME-Version: 1\.0\r\n"
         r"Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n")

# the same, with the In-Reply-To and References lines a follow-up has
THREAD_HEADS = (r"Date: [^\r]+\r\nMessage-ID: [^\r]+\r\n(?:In-Reply-To: [^\r]+\r\nReferences: [^\r]+\r\n)?"
                r"MIME-Version: 1\.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
                r"Content-Transfer-Encoding: 8bit\r\n")

# CPU LOW alone, for the fault cases: one alert, then "Still LOW" every cycle
CPU_LOW_SETUP = """hostid : "e2e-host"
interval : "1"
*cpuhighthreshold : "85"
*memhighthreshold : "85"
cpulowthreshold : "100"
cpulownum : "1"
"""


def notify_file(server=None, password=TEST_PASSWORD, to=TO, iamalive=None, token=None,
                chat_id=None, telegram_api=None, sendtimeout="30"):
    lines = []
    if server is not None:
        lines += [f'server : "{server}"', f'email : "{TEST_LOGIN}"', f'password : "{password}"',
                  f'from : "{TEST_LOGIN}"', f'to : "{to}"']
    if iamalive is not None:
        lines.append(f'iamalive : "{iamalive}"')
    if token is not None:
        lines += [f'token : "{token}"', f'chat_id : "{chat_id}"']
    if telegram_api is not None:
        lines.append(f'telegram_api : "{telegram_api}"')
    lines.append(f'sendtimeout : "{sendtimeout}"')
    return "".join(line + "\n" for line in lines)


def bot_request(request):
    """(token, [(key, value), ...]) of one Bot API request."""
    path, _, query = request.partition("?")
    match = re.fullmatch(r"/bot(.*)/sendMessage", urllib.parse.unquote(path))
    assert match, request
    return match.group(1), urllib.parse.parse_qsl(query, keep_blank_values=True,
                                                  encoding="latin-1")


def bot_text(request):
    token, query = bot_request(request)
    assert token == TOKEN
    assert [k for k, _ in query] == ["chat_id", "text"]
    assert query[0][1] == CHAT_ID
    return query[1][1]


# ------------------------------------------------------------------ -test, native, real curl

def self_test_console(email, telegram, email_rc=0, telegram_rc=0, webhook=None, webhook_rc=0):
    def part(label, name, state, rc):
        if state is None:
            return f"{label} not configured\n"
        why = "" if state else curl_failure_line(label, rc) + "\n"
        return (f"Sending {name} alert ...\n{label} command rc={rc}\n{why}"
                f"{label} test {'OK' if state else 'FAILED'}\n")

    def word(state):
        return "not configured" if state is None else "OK" if state else "FAILED"

    return ("Testing Email alert...\n" + part("Email", "email", email, email_rc)
            + "\nTesting Telegram alert...\n" + part("Telegram", "Telegram", telegram, telegram_rc)
            + "\nTesting Webhook alert...\n" + part("Webhook", "webhook", webhook, webhook_rc)
            + f"\nTest result:\nEmail    : {word(email)}\nTelegram : {word(telegram)}\n"
            + f"Webhook  : {word(webhook)}\n")


def test_self_test_reaches_the_smtp_server_and_the_bot_api(native, workdir, smtp_server, bot_api):
    write_file(workdir, "loadhawk_setup.txt", 'hostid : "label-not-used-by-the-test"\n')
    write_file(workdir, "loadhawk_email.txt", notify_file(
        server=smtp_server.url, token=TOKEN, chat_id=CHAT_ID, telegram_api=bot_api.base))
    r = native.run("-test", cwd=workdir)
    assert (r.rc, r.out, r.err) == (0, self_test_console(True, True), "")

    host = socket.gethostname()
    [message] = smtp_server.messages
    assert (message.login, message.mail_from) == (TEST_LOGIN, TEST_LOGIN)
    # one envelope recipient per address
    assert message.rcpt_tos == ["ops@example.com", "oncall@example.com"]
    match = re.search(rb"\r\n\r\nHost: .*\r\nTime: (" + STAMP.encode() + rb")\r\n\r\n.*\r\n\r\n$",
                      message.data)
    assert match, message.data
    stamp = match.group(1).decode()
    assert message.data == mail_bytes(TEST_LOGIN, TO, TEST_SUBJECT, (
        "This is a test message from loadhawk.\n\n"
        f"Host: {host}\nTime: {stamp}\n\n"
        "If you received this message, email notification is working correctly.\n"), message.data)

    # the same timestamp in the Telegram text, which has no line feed at its end
    [request] = bot_api.requests
    assert bot_text(request) == (f"{TEST_SUBJECT}\nHost: {host}\nTime: {stamp}\n"
                                 "Email and Telegram settings are working.")
    assert log_messages(workdir) == [
        f"Send email to {TO}", f"Email sent to {TO}",
        f"Send Telegram alert to chat_id {CHAT_ID}", f"Telegram sent to chat_id {CHAT_ID}",
        "Webhook test skipped: webhook not configured",
        "***TEST sending : loadhawk notification test", "Email test OK", "Telegram test OK",
        "Webhook test not configured"]
    assert not (workdir / MESSAGE_FILE).exists()


def test_self_test_with_wrong_password_or_closed_port_fails(native, workdir, smtp_server):
    write_file(workdir, "loadhawk_setup.txt", 'hostid : "h"\n')
    write_file(workdir, "loadhawk_email.txt", notify_file(server=smtp_server.url,
                                                          password="wrong"))
    r = native.run("-test", cwd=workdir)
    # curl: 67, login denied
    assert (r.rc, r.out) == (1, self_test_console(False, None, email_rc=67))
    assert smtp_server.messages == []

    write_file(workdir, "loadhawk_email.txt", notify_file(server=f"smtp://127.0.0.1:{free_port()}"))
    r = native.run("-test", cwd=workdir)
    # curl: 7, could not connect
    assert (r.rc, r.out) == (1, self_test_console(False, None, email_rc=7))
    assert log_messages(workdir)[-7:] == [
        "Email not sent: curl rc=7 (no connection to the server)",
        "Telegram test skipped: telegram not configured",
        "Webhook test skipped: webhook not configured",
        "***TEST sending : loadhawk notification test", "Email test FAILED", "Telegram test not configured",
        "Webhook test not configured"]
    assert not (workdir / MESSAGE_FILE).exists()


@pytest.mark.parametrize("status", [200, 400, 401, 500])
def test_self_test_counts_a_telegram_send_only_when_the_bot_api_accepts_it(
        native, workdir, bot_api_answering, status):
    api = bot_api_answering(status)
    write_file(workdir, "loadhawk_setup.txt", 'hostid : "h"\n')
    write_file(workdir, "loadhawk_email.txt", notify_file(token=TOKEN, chat_id=CHAT_ID,
                                                          telegram_api=api.base))
    r = native.run("-test", cwd=workdir)
    accepted = status == 200
    # curl --fail: an HTTP error status of the Bot API is curl's code 22
    assert (r.rc, r.out) == (0 if accepted else 1, self_test_console(
        None, accepted, telegram_rc=0 if accepted else 22))
    assert len(api.requests) == 1
    outcome = (f"Telegram sent to chat_id {CHAT_ID}" if accepted
               else "Telegram not sent: curl rc=22 (HTTP error from the Bot API)")
    assert log_messages(workdir)[1:3] == [f"Send Telegram alert to chat_id {CHAT_ID}", outcome]


def test_self_test_through_a_relay_that_requires_starttls(native, workdir, starttls_smtp_server):
    write_file(workdir, "loadhawk_setup.txt", 'hostid : "h"\n')
    write_file(workdir, "loadhawk_email.txt", notify_file(server=starttls_smtp_server.url))
    # the relay's certificate is trusted through the test's own CA bundle only
    r = native.run("-test", cwd=workdir, env={"CURL_CA_BUNDLE": str(starttls_smtp_server.ca_bundle)})
    assert (r.rc, r.out) == (0, self_test_console(True, None))
    [message] = starttls_smtp_server.messages
    assert message.tls and message.login == TEST_LOGIN
    # without it curl refuses the certificate, and nothing goes out in clear
    r = native.run("-test", cwd=workdir)
    assert (r.rc, r.out) == (1, self_test_console(False, None, email_rc=60))
    assert len(starttls_smtp_server.messages) == 1
    assert "Email not sent: curl rc=60 (server certificate not trusted)" in log_messages(workdir)


@pytest.mark.parametrize("length", [128, 201, 300])
def test_password_longer_than_its_field_stays_as_written_and_is_never_sent(program, workdir,
                                                                           length):
    write_file(workdir, "loadhawk_setup.txt", 'hostid : "h"\n')
    write_file(workdir, "loadhawk_email.txt", notify_file(server="smtp://127.0.0.1:9",
                                                          password="p" * length))
    before = (workdir / "loadhawk_email.txt").read_bytes()
    r = program.run("-test", cwd=workdir)
    refusal = "Email not sent: password longer than 127 characters"
    assert refusal + "\n" in r.out, r.out
    assert "Email test FAILED\n" in r.out
    assert refusal in log_messages(workdir)
    assert (workdir / "loadhawk_email.txt").read_bytes() == before


def test_self_test_without_settings_and_in_silent_mode(program, workdir):
    for args in (["-test"], ["-s", "-test"]):
        r = program.run(*args, cwd=workdir)
        assert (r.rc, r.out, r.err) == (1, self_test_console(None, None),
                                        "Error: loadhawk_setup.txt not found\n"), args
    assert log_messages(workdir) == 2 * [
        "Email test skipped: email not configured",
        "Telegram test skipped: telegram not configured",
        "Webhook test skipped: webhook not configured",
        "***TEST sending : loadhawk notification test", "Email test not configured",
        "Telegram test not configured", "Webhook test not configured"]


# ------------------------------------------------------------------ -test under Wine

@pytest.mark.parametrize("value", [TEST_PASSWORD, "%USERNAME%&echo PWNED>PWNED", "a\\%b"])
def test_windows_self_test_as_curl_sees_it(windows, workdir, tmp_path, value):
    curl = curl_on_path(windows, workdir, tmp_path / "bin")
    write_file(workdir, "loadhawk_setup.txt", 'hostid : "h"\n')
    write_file(workdir, "loadhawk_email.txt", notify_file(
        server="smtp://127.0.0.1:25", password=value, token=TOKEN, chat_id=value,
        telegram_api="http://127.0.0.1:9"))
    r = windows.run("-test", cwd=workdir)
    assert (r.rc, r.out, r.err) == (0, self_test_console(True, True), "")
    mail, telegram = standin_calls(workdir)
    assert mail["args"] == ["-s", "smtp://127.0.0.1:25", "--mail-from", TEST_LOGIN, "--ssl",
                            "-K", CONFIG_FILE, "-T", MESSAGE_FILE,
                            "--mail-rcpt", "ops@example.com", "--mail-rcpt", "oncall@example.com"]
    assert mail["config"] == curl_config("user", f"{TEST_LOGIN}:{value}")
    assert planted_programs_that_ran(workdir, curl) == []
    # the password stands on no command line
    assert value not in mail["line"]
    if value == TEST_PASSWORD:
        assert mail["line"] == (
            f'"{curl}" -s smtp://127.0.0.1:25 --mail-from "{TEST_LOGIN}" --ssl'
            ' -K "cpucurlconf.txt" -T "cpumailtext.txt"'
            ' --mail-rcpt "ops@example.com" --mail-rcpt "oncall@example.com"')
    # the message curl read: the test subject, CRLF line ends, the computer's name
    assert mail["file"].startswith(
        f"From: {TEST_LOGIN}\r\nTo: {TO}\r\nSubject: {TEST_SUBJECT}\r\n".encode())
    assert re.search(rb"\r\nHost: [^\r\n]+\r\nTime: " + STAMP.encode() + rb"\r\n", mail["file"])
    assert telegram["args"] == ["-s", "--fail", "-K", CONFIG_FILE]
    assert TOKEN.split(":")[1] not in telegram["line"]
    address = re.fullmatch(r'url = "(.*)"\n', telegram["config"]).group(1)
    assert address.startswith("http://127.0.0.1:9/bot")
    token, query = bot_request(address[len("http://127.0.0.1:9"):])
    assert token == TOKEN
    assert query[0] == ("chat_id", value)
    assert query[1][1].startswith(f"{TEST_SUBJECT}\nHost: ")
    # nothing but the two curl calls ran
    assert not (workdir / "PWNED").exists()
    assert not (workdir / MESSAGE_FILE).exists()
    assert not (workdir / CONFIG_FILE).exists()


# a monitor run under Wine that mails its memory alert in the first cycle
MEM_LOW_SETUP = """hostid : "e2e-host"
interval : "1"
*cpuhighthreshold : "85"
*memhighthreshold : "85"
*cpulowthreshold : "10"
memlowthreshold : "100"
memlownum : "1"
"""


def test_windows_monitor_mails_through_curl_on_path_with_utf8_names(windows, workdir, tmp_path,
                                                                    reaper):
    curl = curl_on_path(windows, workdir, tmp_path / "bin")
    # a process named outside the ANSI code page, with a C1 control (the
    # one-character terminal control introducer) in its name, that holds
    # more memory than any of Wine's own, so it heads the memory list
    holder_dir = tmp_path / "holder"
    holder_dir.mkdir()
    shutil.copy(windows.path.parent / "curl.exe", holder_dir / "Gr\u00f6\u00dfe\u009b.exe")
    holder = reaper.track(subprocess.Popen(
        [WINE, str(holder_dir / "Gr\u00f6\u00dfe\u009b.exe")], cwd=holder_dir, stdin=subprocess.DEVNULL,
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        env=wine_environment({"CURL_STANDIN_HOLD_MB": "300", "CURL_STANDIN_HANG": "120"})))
    assert wait_for(lambda: standin_calls(holder_dir), timeout=60), holder.poll()
    time.sleep(2)  # the memory is written after the record

    write_file(workdir, "loadhawk_setup.txt", MEM_LOW_SETUP)
    write_file(workdir, "loadhawk_email.txt", notify_file(server="smtp://127.0.0.1:25"))
    m = Monitor(windows, workdir)
    assert wait_for(lambda: any(c["file"] for c in standin_calls(workdir)), timeout=60), m.log()
    m.wait_for_log(r"MEMORY Usage <= 100% Still LOW")
    m.end()

    name = "COMMAND: Gr\u00f6\u00dfe?.exe\r\n".encode()  # UTF-8, the control made printable
    [mail] = standin_calls(workdir)
    assert planted_programs_that_ran(workdir, curl) == []
    assert re.search(rb"\r\nTOP1- PID: \d+ %MEM: \d+\.\d " + re.escape(name), mail["file"]), mail["file"]
    log = (workdir / "loadhawk_log.txt").read_bytes()
    assert re.search(rb"MEMORY Usage <= 100% count \[1\] of \[1\] TOP1- TOP1- PID: \d+ %MEM: \d+\.\d "
                     + re.escape(name), log), log
    # the console (a pipe here) gets the same bytes
    assert re.search(rb"\nTOP1- PID: \d+ %MEM: \d+\.\d " + re.escape(name), m.out_path.read_bytes())


# ------------------------------------------------------------------ monitor run, real curl

def test_monitor_run_alerts_arrive_by_mail_and_telegram(native, workdir, smtp_server, bot_api):
    write_file(workdir, "loadhawk_setup.txt", ALERTING_SETUP)
    write_file(workdir, "loadhawk_email.txt", notify_file(
        server=smtp_server.url, token=TOKEN, chat_id=CHAT_ID, telegram_api=bot_api.base))
    m = Monitor(native, workdir)
    assert wait_for(lambda: len(smtp_server.messages) >= 2 and len(bot_api.requests) >= 2,
                    timeout=60), (m.out(), m.log())
    m.wait_for_log(r"MEMORY Usage >= 1% Still HIGH \(alert already sent\)")
    m.end()
    assert len(smtp_server.messages) == 2 and len(bot_api.requests) == 2

    # CPU LOW runs before MEM HIGH; each notice goes by mail, then by Telegram
    cpu_mail, mem_mail = smtp_server.messages
    cpu_request, mem_request = bot_api.requests
    for mail in (cpu_mail, mem_mail):
        assert mail.rcpt_tos == ["ops@example.com", "oncall@example.com"]
        assert b"\n" not in mail.data.replace(b"\r\n", b"")

    cpu = re.fullmatch(
        r"From: \S+\r\nTo: [^\r]+\r\nSubject: (" + STAMP + r") e2e-host CPU now (\d+\.\d)% <= 100%"
        r" for consecutive 1 times\r\n" + HEADS + r"\r\n"
        r"Now: \1\r\nHost: e2e-host\r\nCPU LOW ALERT\r\nCPU: \2%\r\nThreshold: 100%\r\nCount: 1\r\n"
        r"((?:TOP\d- PID: \d+ CPU_TIME: \d+\.\d sec COMMAND: [^\r]*\r\n)+)\r\n"
        r"Holding since: \1 \(0 s\)\r\n" + FIRST_CYCLE + r"\r\n\r\n",
        cpu_mail.data.decode("latin-1"))
    assert cpu, cpu_mail.data
    stamp, figure, cpu_list = cpu.groups()
    after = f"\nHolding since: {stamp} (0 s)\nUsing CPU now: no share yet (first cycle since start)\n"
    assert bot_text(cpu_request) == (f"ALERT CPU LOW\nHost: e2e-host\nCPU: {figure}% <= 100%\n"
                                     f"Count: 1\n{cpu_list.replace(chr(13), '')}{after}Time: {stamp}")

    mem = re.fullmatch(
        r"From: \S+\r\nTo: [^\r]+\r\nSubject: (" + STAMP + r") e2e-host MEM now (\d+)% >= 1%"
        r" for consecutive 1 times\r\n" + HEADS + r"\r\n"
        r"Now: \1\r\nHost: e2e-host\r\nMEM HIGH ALERT\r\nMEM: \2%\r\nThreshold: 1%\r\nCount: 1\r\n"
        r"((?:TOP\d- PID: \d+ %MEM: \d+\.\d COMMAND: [^\r]*\r\n)+)\r\n"
        r"Holding since: \1 \(0 s\)\r\n" + FIRST_CYCLE + r"\r\n\r\n",
        mem_mail.data.decode("latin-1"))
    assert mem, mem_mail.data
    stamp, figure, mem_list = mem.groups()
    after = f"\nHolding since: {stamp} (0 s)\nUsing CPU now: no share yet (first cycle since start)\n"
    assert bot_text(mem_request) == (f"ALERT MEM HIGH\nHost: e2e-host\nMEM: {figure}% >= 1%\n"
                                     f"Count: 1\n{mem_list.replace(chr(13), '')}{after}Time: {stamp}")

    # each subject in the log before the two sends and their outcomes; the
    # console shows both rcs
    log = m.log()
    assert re.search(r"\*\*\*Alert sending :" + STAMP + r" e2e-host CPU now [^\n]*\n"
                     + STAMP + f" Send email to {TO}\n" + STAMP + f" Email sent to {TO}\n"
                     + STAMP + f" Send Telegram alert to chat_id {CHAT_ID}\n"
                     + STAMP + f" Telegram sent to chat_id {CHAT_ID}\n", log), log
    out = m.out()
    assert out.count("Sending email alert ...\nEmail command rc=0\n") == 2
    assert out.count("Sending Telegram alert ...\nTelegram command rc=0\n") == 2
    assert not (workdir / MESSAGE_FILE).exists()


# a child that names itself with bytes no receiver takes (an invalid
# sequence, the one-byte terminal control introducer U+009B, an escape, a
# character cut short as the 15-byte limit cuts names) and holds more memory
# than any other process, so that it heads the memory list
HOSTILE_NAME_CHILD = r"""
import ctypes, sys, time
held = b"\x01" * (1 << 30)
name = b"lh\xff\xfe\xc2\x9b\x1b[2J\xd0\x9f\xd0"
ctypes.CDLL(None, use_errno=True).prctl(15, ctypes.c_char_p(name), 0, 0, 0)  # PR_SET_NAME
sys.stdout.write("named\n")
sys.stdout.flush()
time.sleep(120)
"""
SHOWN_NAME = "lh????[2J\u041f?"


def assert_printable(data, what):
    """No byte below 0x20 but the line ends, and no C1 control."""
    text = data.decode("utf-8")  # strict
    bad = [c for c in text if (ord(c) < 0x20 and c not in "\r\n") or 0x7F <= ord(c) <= 0x9F]
    assert bad == [], (what, bad)


def test_monitor_run_makes_a_hostile_process_name_printable_utf8(native, workdir, reaper,
                                                                  smtp_server, bot_api):
    child = reaper.track(subprocess.Popen(["python3", "-c", HOSTILE_NAME_CHILD], cwd=workdir,
                                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE))
    assert child.stdout.readline() == b"named\n"
    write_file(workdir, "loadhawk_setup.txt", MEM_LOW_SETUP)
    write_file(workdir, "loadhawk_email.txt", notify_file(
        server=smtp_server.url, token=TOKEN, chat_id=CHAT_ID, telegram_api=bot_api.base))
    m = Monitor(native, workdir)
    assert wait_for(lambda: smtp_server.messages and bot_api.requests, timeout=60), (m.out(), m.log())
    m.wait_for_log(r"MEMORY Usage <= 100% Still LOW")
    m.end()

    top = f"TOP1- PID: {child.pid} %MEM: "
    [mail] = smtp_server.messages[:1]
    message = email.message_from_bytes(mail.data, policy=email.policy.strict)
    body = message.get_content()
    assert top in body and f" COMMAND: {SHOWN_NAME}\r\n" in body, body
    assert_printable(mail.data, "mail")
    # the Bot API takes only UTF-8 text
    path, _, query = bot_api.requests[0].partition("?")
    text = dict(urllib.parse.parse_qsl(query, encoding="utf-8", errors="strict"))["text"]
    assert f" COMMAND: {SHOWN_NAME}\n" in text, text
    for what, data in (("log", (workdir / "loadhawk_log.txt").read_bytes()),
                       ("console", m.out_path.read_bytes())):
        assert f" COMMAND: {SHOWN_NAME}\n".encode() in data, what
        assert b"\r" not in data, what
        assert_printable(data, what)


# ------------------------------------------------------------------ alert, recovery, heartbeat

CYCLES_SETUP = """hostid : "e2e-host"
interval : "1"
cpuhighthreshold : "90"
cpuhighnum : "1"
memhighthreshold : "85"
memhighnum : "2"
*cpulowthreshold : "10"
*memlowthreshold : "10"
"""

# the lists of a notice: real processes
CPU_LIST = r"((?:TOP\d- PID: \d+ CPU_TIME: \d+\.\d sec COMMAND: [^\r\n]*\r?\n)+)"
MEM_LIST = r"((?:TOP\d- PID: \d+ %MEM: \d+\.\d COMMAND: [^\r\n]*\r?\n)+)"
# the lines after a notice's list: an empty line, how long the condition
# has held (an alert) or lasted (a recovery), and the "Using CPU now" block,
# which has no share in the first cycle and lists real processes later (a
# kernel thread without a command line)
CPU_NOW = (r"(?:" + FIRST_CYCLE + r"\n|Using CPU now: no process used CPU since the previous cycle\n"
           r"|Using CPU now \(share of all \d+ CPUs since the previous cycle\):\n"
           r"(?:NOW\d- PID: \d+ CPU: \d+\.\d% USER: \S+ COMMAND: [^\r\n]*\n)+)")
HOLDING = r"(\nHolding since: " + STAMP + r" \(\d+ s\)\n" + CPU_NOW + ")"
LASTED = r"(\nBegan: " + STAMP + r", lasted \d+ s\n" + CPU_NOW + ")"


class ScriptedLoad:
    """The machine's CPU usage and memory load as the test sets them: a
    monitor run started through `program` sees /proc/stat and /proc/meminfo
    replaced by two files of the test, bound over the real ones in a mount
    namespace of its own. The CPU counters advance every 50 ms in the set
    proportion, and jump by a million ticks of it when it is set, so that
    every cycle's figure is the one set to a tenth of a percent, also the
    cycle that spans the change."""

    def __init__(self, directory, native):
        self.stat = directory / "stat"
        self.meminfo = directory / "meminfo"
        self.busy, self.idle, self.per_tick = 0, 0, (0, 1000)
        self.lock = threading.Lock()
        self.set(cpu_permille=0, mem_percent=0)
        self.stop = threading.Event()
        self.ticker = threading.Thread(target=self._tick, daemon=True)
        self.ticker.start()
        self.program = native
        script = ('mount --bind "$1" /proc/stat && mount --bind "$2" /proc/meminfo'
                  ' && shift 2 && exec "$0" "$@"')
        native.command = lambda *args: ["unshare", "--mount", "sh", "-c", script, str(native.path),
                                        str(self.stat), str(self.meminfo), *args]

    def set(self, cpu_permille, mem_percent):
        with self.lock:
            self.per_tick = (cpu_permille, 1000 - cpu_permille)
            self.busy += self.per_tick[0] * 1000000
            self.idle += self.per_tick[1] * 1000000
            available = 1000000 - mem_percent * 10000
            # the same length every time: the file is rewritten in place
            self._rewrite(self.meminfo, f"MemTotal: {1000000:012d} kB\nMemFree: {available:012d} kB\n"
                                        f"MemAvailable: {available:012d} kB\n")
            self._write_stat()

    def _write_stat(self):
        self._rewrite(self.stat, f"cpu  {self.busy:015d} 0 0 {self.idle:015d} 0 0 0 0 0 0\n")

    @staticmethod
    def _rewrite(path, text):
        fd = os.open(path, os.O_WRONLY | os.O_CREAT, 0o644)
        try:
            os.pwrite(fd, text.encode(), 0)
        finally:
            os.close(fd)

    def _tick(self):
        while not self.stop.wait(0.05):
            with self.lock:
                self.busy += self.per_tick[0]
                self.idle += self.per_tick[1]
                self._write_stat()

    def end(self):
        self.stop.set()
        self.ticker.join(timeout=10)


@pytest.fixture
def scripted_load(native, tmp_path):
    if os.geteuid() != 0:
        pytest.skip("binding files over /proc needs root")
    probe = subprocess.run(["unshare", "--mount", "true"], capture_output=True, text=True)
    if probe.returncode != 0:
        pytest.skip(f"no mount namespace here: {probe.stderr.strip()}")
    load = ScriptedLoad(tmp_path, native)
    yield load
    load.end()


def wait_for_subjects(m, count):
    """Waits until the log holds `count` notice subjects and their sends."""
    m.wait_for_log(r"\*\*\*Alert sending :", count=count)
    m.wait_for_log(r"(?:Email|Telegram) (?:sent|not sent)", count=2 * count)


def test_alert_and_recovery_over_both_channels(scripted_load, workdir, smtp_server, bot_api):
    write_file(workdir, "loadhawk_setup.txt", CYCLES_SETUP)
    write_file(workdir, "loadhawk_email.txt", notify_file(
        server=smtp_server.url, token=TOKEN, chat_id=CHAT_ID, telegram_api=bot_api.base))
    # CPU HIGH alerts in the first cycle, MEM HIGH in the second
    scripted_load.set(cpu_permille=973, mem_percent=90)
    m = Monitor(scripted_load.program, workdir)
    wait_for_subjects(m, 2)
    # both conditions end
    scripted_load.set(cpu_permille=120, mem_percent=40)
    wait_for_subjects(m, 4)
    m.end()

    expected = [
        # (subject, body, telegram text), each a pattern; \1 the time stamp,
        # \2 the list and \3 the lines after it, as the mail has them
        (r"e2e-host CPU now 97\.3% >= 90% for consecutive 1 times",
         r"Now: \1\nHost: e2e-host\nCPU HIGH ALERT\nCPU: 97\.3%\nThreshold: 90%\nCount: 1\n" + CPU_LIST
         + r"(\nHolding since: \1 \(0 s\)\n" + FIRST_CYCLE + r"\n)",
         r"ALERT CPU HIGH\nHost: e2e-host\nCPU: 97\.3% >= 90%\nCount: 1\n\2\3Time: \1"),
        (r"e2e-host MEM now 90% >= 85% for consecutive 2 times",
         r"Now: \1\nHost: e2e-host\nMEM HIGH ALERT\nMEM: 90%\nThreshold: 85%\nCount: 2\n" + MEM_LIST
         + HOLDING,
         r"ALERT MEM HIGH\nHost: e2e-host\nMEM: 90% >= 85%\nCount: 2\n\2\3Time: \1"),
        (r"e2e-host CPU HIGH back to normal - CPU now 12\.0%",
         r"Now: \1\nHost: e2e-host\nCPU HIGH back to normal\nCPU: 12\.0%\n" + CPU_LIST + LASTED,
         r"RECOVERY CPU HIGH\nHost: e2e-host\nCPU: 12\.0%\n\2\3Time: \1"),
        (r"e2e-host MEM HIGH back to normal - MEM now 40%",
         r"Now: \1\nHost: e2e-host\nMEM HIGH back to normal\nMEM: 40%\n" + MEM_LIST + LASTED,
         r"RECOVERY MEM HIGH\nHost: e2e-host\nMEM: 40%\n\2\3Time: \1"),
    ]
    # a recovery follows up its own alert: the CPU one the first, the MEM one the second
    replies_to = [None, None, 0, 1]
    assert len(smtp_server.messages) == len(expected)
    assert len(bot_api.requests) == len(expected)
    subjects = [line for line in log_messages(workdir) if line.startswith("***Alert sending :")]
    message_ids = [re.search(r"\r\nMessage-ID: ([^\r]*)\r\n", mail.data.decode("latin-1")).group(1)
                   for mail in smtp_server.messages]
    for (subject, body, text), mail, request, logged, parent in zip(
            expected, smtp_server.messages, bot_api.requests, subjects, replies_to):
        data = mail.data.decode("latin-1")
        match = re.fullmatch(r"From: \S+\r\nTo: [^\r]+\r\nSubject: (" + STAMP + ") " + subject
                             + r"\r\n" + THREAD_HEADS + "\r\n" + body.replace(r"\n", r"\r\n") + "\r\n",
                             data)
        assert match, data
        stamp, processes, after = match.groups()
        # the exact From and To, and Date and Message-ID of their proper forms
        heads, body = data.split("\r\n\r\n", 1)
        full_subject = re.search(r"\r\nSubject: ([^\r]*)", heads).group(1)
        assert mail.data == mail_bytes(TEST_LOGIN, TO, full_subject, body.replace("\r\n", "\n")[:-1],
                                       mail.data, None if parent is None else message_ids[parent])
        assert mail.rcpt_tos == ["ops@example.com", "oncall@example.com"]
        assert re.fullmatch(text.replace(r"\2", re.escape(processes.replace("\r", "")))
                            .replace(r"\3", re.escape(after.replace("\r", "")))
                            .replace(r"\1", re.escape(stamp)), bot_text(request)), bot_text(request)
        assert re.fullmatch(r"\*\*\*Alert sending :" + re.escape(stamp) + " " + subject, logged)
    assert not (workdir / MESSAGE_FILE).exists()


def midnight_in(seconds):
    """A TZ value whose local midnight comes `seconds` from now."""
    east = int(86400 - seconds - time.time() % 86400) % 86400
    if east > 43200:
        east -= 86400
    sign = "-" if east >= 0 else "+"  # POSIX: the offset west of UTC
    east = abs(east)
    return f"LHT{sign}{east // 3600:02d}:{east // 60 % 60:02d}:{east % 60:02d}"


def test_heartbeat_after_midnight_over_both_channels(scripted_load, workdir, smtp_server, bot_api):
    write_file(workdir, "loadhawk_setup.txt", CYCLES_SETUP)
    write_file(workdir, "loadhawk_email.txt", notify_file(
        server=smtp_server.url, iamalive="alive@example.com", token=TOKEN, chat_id=CHAT_ID,
        telegram_api=bot_api.base))
    scripted_load.set(cpu_permille=120, mem_percent=40)
    # started a few seconds before local midnight: the day changes in a later cycle
    m = Monitor(scripted_load.program, workdir, env={"TZ": midnight_in(4)})
    assert wait_for(lambda: len(smtp_server.messages) >= 1 and len(bot_api.requests) >= 1,
                    timeout=60), (m.out(), m.log())
    m.wait_for_log(r"Telegram sent to chat_id")
    m.end()
    [mail] = smtp_server.messages
    [request] = bot_api.requests
    data = mail.data.decode("latin-1")
    stamp = re.search(r"\r\nTime: (" + STAMP + r")\r\n", data).group(1)
    assert stamp[11:16] == "00:00", stamp
    # the run began a few seconds before: no notice, no alert standing
    up = re.search(r"\r\nUp: (\d+ s)\r\n", data)
    assert up, data
    facts = (f"Version: {PROJECT_VERSION}\nUp: {up.group(1)}\nStanding alerts: none\n"
             "Notices since the last heartbeat: 0 sent, 0 failed")
    assert mail.data == mail_bytes(TEST_LOGIN, "alive@example.com",
                                   f"e2e-host loadhawk is up and running : {stamp}",
                                   f"loadhawk is running\nHost: e2e-host\nCPU: 12.0%\nMEM: 40%\n"
                                   f"Time: {stamp}\n{facts}\n", mail.data)
    assert mail.rcpt_tos == ["alive@example.com"]
    assert bot_text(request) == (f"IAMALIVE\nloadhawk is running\nHost: e2e-host\nCPU: 12.0%\n"
                                 f"MEM: 40%\nTime: {stamp}\n{facts}")
    # the heartbeat logs no line of its own
    assert not [line for line in log_messages(workdir) if line.startswith("***Alert sending :")]
    assert log_messages(workdir)[-4:] == ["Send email to alive@example.com",
                                          "Email sent to alive@example.com",
                                          f"Send Telegram alert to chat_id {CHAT_ID}",
                                          f"Telegram sent to chat_id {CHAT_ID}"]
    assert not (workdir / MESSAGE_FILE).exists()


@pytest.mark.parametrize("label, shown", [
    ("B\xc3\xbcro-Server", "B\u00fcro-Server"),  # UTF-8 bytes, as the settings file holds them
    # 120 bytes of Cyrillic: the label keeps 99 bytes at most, cut after a whole character
    ("\xd0\x96" * 60, "\u0416" * 49),
])
def test_alert_mail_is_a_complete_internet_message(scripted_load, workdir, smtp_server, label,
                                                   shown):
    """An alert and its recovery with a host label beyond ASCII, as a mail
    program and a spam filter read them: every header valid under the strict
    policy, the label intact in the subject, and no header rule of the
    filter firing."""
    write_file(workdir, "loadhawk_setup.txt", CYCLES_SETUP.replace("e2e-host", label))
    write_file(workdir, "loadhawk_email.txt", notify_file(server=smtp_server.url))
    scripted_load.set(cpu_permille=973, mem_percent=40)  # CPU HIGH alert
    m = Monitor(scripted_load.program, workdir)
    m.wait_for_log(r"Email sent to")
    scripted_load.set(cpu_permille=120, mem_percent=40)  # its recovery
    m.wait_for_log(r"Email sent to", count=2)
    m.end()
    alert, recovery = smtp_server.messages
    offset = time.localtime().tm_gmtoff
    ids = set()
    for mail, subject in ((alert, f" {shown} CPU now 97.3% >= 90% for consecutive 1 times"),
                          (recovery, f" {shown} CPU HIGH back to normal - CPU now 12.0%")):
        message = email.message_from_bytes(mail.data, policy=email.policy.strict)
        for name in ("From", "To", "Subject", "Date", "Message-ID", "MIME-Version",
                     "Content-Type", "Content-Transfer-Encoding"):
            assert message[name] is not None and message[name].defects == (), name
        assert re.fullmatch(STAMP + re.escape(subject), message["Subject"]), message["Subject"]
        assert "\ufffd" not in message["Subject"]
        sent = message["Date"].datetime
        assert sent.utcoffset().total_seconds() == offset
        assert abs(time.time() - sent.timestamp()) < 120
        assert re.fullmatch(r"<[^<>@\s]+@[^<>@\s]+>", message["Message-ID"])
        ids.add(message["Message-ID"])
        assert message["MIME-Version"].version == "1.0"
        assert message.get_content_charset() == "utf-8"
        assert message["Content-Transfer-Encoding"].cte == "8bit"
        assert f"\r\nHost: {shown}\r\n" in message.get_content()
    assert len(ids) == 2
    # the recovery is threaded under its alert
    parsed_alert = email.message_from_bytes(alert.data, policy=email.policy.strict)
    parsed_recovery = email.message_from_bytes(recovery.data, policy=email.policy.strict)
    assert parsed_alert["In-Reply-To"] is None
    for name in ("In-Reply-To", "References"):
        assert parsed_recovery[name].defects == (), name
        assert parsed_recovery[name] == parsed_alert["Message-ID"], name
    if len(shown) > 20:
        return  # the filter's verdict on the short label stands for both

    # a common spam filter, offline: only its two notes on locally sent mail
    report = subprocess.run(["spamassassin", "-L", "-t"], input=alert.data, capture_output=True,
                            timeout=120)
    assert report.returncode == 0, report.stderr
    status = re.search(rb"^X-Spam-Status: .*(?:\r?\n\t.*)*", report.stdout, re.M)
    assert status, report.stdout
    # unfolded; the filter folds its list of tests after a comma or at a blank
    unfolded = re.sub(rb"\s+", b" ", status.group(0)).replace(b", ", b",")
    score, tests = re.search(rb"score=(\S+) .*tests=(\S*)", unfolded).groups()
    print("spam filter score of an alert:", score.decode())
    rules = set(tests.split(b",")) - {b"none", b""}
    assert rules <= {b"NO_RECEIVED", b"NO_RELAYS"}, rules


# ------------------------------------------------------------------ delivery faults

def closed_port(request):
    return f"smtp://127.0.0.1:{free_port()}", None


def refused_login(request):
    return request.getfixturevalue("smtp_server").url, "not the password"


def dropped_in_message(request):
    return request.getfixturevalue("dropping_smtp_server").url, None


def never_answers(request):
    return request.getfixturevalue("mute_smtp_server").url, None


def refused_recipients(request):
    return request.getfixturevalue("rcpt_refusing_smtp_server").url, None


def refused_message(request):
    return request.getfixturevalue("data_refusing_smtp_server").url, None


@pytest.mark.parametrize("fault,expected", [
    (closed_port, "7 (no connection to the server)"),
    (refused_login, "67 (login denied)"),
    (dropped_in_message, None),  # any failure code
    (never_answers, "124 (sendtimeout ran out)"),
    (refused_recipients, "55 (sending refused, e.g. a recipient)"),
    (refused_message, "8 (the server refused the message)"),
], ids=["port-closed", "auth-refused", "dropped-mid-message", "never-answers", "rcpt-refused",
        "data-refused"])
def test_silent_monitor_logs_a_failed_mail_and_goes_on(native, workdir, request, fault, expected):
    server, password = fault(request)
    write_file(workdir, "loadhawk_setup.txt", CPU_LOW_SETUP)
    write_file(workdir, "loadhawk_email.txt", notify_file(
        server=server, password=password or TEST_PASSWORD, sendtimeout="3"))
    # silent, as the service runs: the log alone tells what became of the alert
    m = Monitor(native, workdir, "-s")
    m.wait_for_log(r"Send email to ")
    started = time.monotonic()
    m.wait_for_log(r"Email not sent: curl rc=")
    # never answering costs the send timeout, not curl's own minutes
    assert time.monotonic() - started < 60
    assert_cycles_go_on(m, workdir)
    outcome = re.search(r"Email not sent: curl rc=(.*)\n", m.log()).group(1)
    if expected is None:
        assert not outcome.startswith("0")
    else:
        assert outcome == expected
    assert m.out() == ""
    if fault is dropped_in_message:
        assert request.getfixturevalue("dropping_smtp_server").dropped == 1
    if fault is never_answers:
        assert request.getfixturevalue("mute_smtp_server").accepted == 1


def assert_cycles_go_on(monitor, workdir):
    """Count lines keep coming after the failed send; nothing is lost."""
    def cycles_after_send():
        log = monitor.log()
        after = log[log.find("Send email to "):]
        return after.count("CPU Usage <= 100% Still LOW (alert already sent)")

    assert wait_for(lambda: cycles_after_send() >= 2, timeout=60), monitor.log()
    assert monitor.proc.poll() is None
    monitor.end()
    log = monitor.log()
    assert re.search(r"\*\*\*Alert sending :" + STAMP
                     + r" e2e-host CPU now \d+\.\d% <= 100% for consecutive 1 times\n"
                     + STAMP + f" Send email to {TO}\n", log), log
    assert log.count("***Alert sending :") == 1
    assert not (workdir / MESSAGE_FILE).exists()


def test_monitor_goes_on_when_curl_is_missing(program, workdir, tmp_path):
    write_file(workdir, "loadhawk_setup.txt", CPU_LOW_SETUP)
    write_file(workdir, "loadhawk_email.txt", notify_file(server="smtp://127.0.0.1:25"))
    empty = tmp_path / "no-curl-here"
    empty.mkdir()
    if program.windows:
        # nothing named curl in the working directory or on Wine's own PATH
        env = {"PATH": str(empty)}
        expected = "9009"  # cmd.exe: not recognised as a command
    else:
        env = {"PATH": str(empty)}
        expected = "127"  # /bin/sh: command not found
    m = Monitor(program, workdir, "-s", env=env)
    m.wait_for_log(r"Email not sent: curl rc=")
    assert_cycles_go_on(m, workdir)
    assert f"Email not sent: curl rc={expected} (curl not found)\n" in m.log()


def test_windows_curl_only_on_a_relative_path_folder_is_not_run(windows, workdir):
    """A relative PATH folder means the working directory: its curl.exe is
    never run, and the send fails as when there is no curl at all."""
    write_file(workdir, "loadhawk_setup.txt", CPU_LOW_SETUP)
    write_file(workdir, "loadhawk_email.txt", notify_file(server="smtp://127.0.0.1:25"))
    (workdir / "bin").mkdir()
    shutil.copy(windows.path.parent / "curl.exe", workdir / "bin" / "curl.exe")
    m = Monitor(windows, workdir, "-s", env={"WINEPATH": "bin"})
    m.wait_for_log(r"Email not sent: curl rc=")
    assert "Email not sent: curl rc=9009 (curl not found)\n" in m.log()
    assert standin_calls(workdir) == []
    r = windows.run("-check", cwd=workdir, env={"WINEPATH": "bin"})
    assert "\nWarning: curl not found in an absolute PATH folder: notices cannot be sent\n\nResult: " in r.out, r


# ------------------------------------------------------------------ -test beside a sending monitor

def test_self_test_beside_a_background_monitor_sending(native, workdir, reaper, fake_curl):
    write_file(workdir, "loadhawk_setup.txt", CPU_LOW_SETUP)
    write_file(workdir, "loadhawk_email.txt", notify_file(server="smtp://127.0.0.1:25"))
    # each curl takes two seconds, so the two sends meet
    env = fake_curl.env(SLEEP=2)
    r = native.run("-start", cwd=workdir, env=env)
    assert r.rc == 0, r
    # the file is created before its line is written: wait for the whole line
    pid_file = workdir / "loadhawk.pid"
    assert wait_for(lambda: pid_file.exists() and pid_file.read_text().endswith("\n"))
    reaper.track_pid(int(pid_file.read_text()))
    # the monitor has begun its alert: the test's mail comes while it sends
    assert wait_for(lambda: "Send email to" in "\n".join(log_messages(workdir)), timeout=60)
    r = native.run("-test", cwd=workdir, env=env)
    assert (r.rc, r.out) == (0, self_test_console(True, None)), r
    assert wait_for(lambda: len(fake_curl.calls()) >= 2, timeout=60)
    assert native.run("-stop", cwd=workdir).rc == 0

    calls = fake_curl.calls()
    assert len(calls) == 2
    subjects = [c["file"].decode("latin-1").split("\r\n")[2] for c in calls]
    assert f"Subject: {TEST_SUBJECT}" in subjects
    [alert] = [s for s in subjects if s != f"Subject: {TEST_SUBJECT}"]
    assert re.fullmatch("Subject: " + STAMP + r" e2e-host CPU now \d+\.\d% <= 100% for"
                        r" consecutive 1 times", alert), subjects
    # each curl read its own message from start to end
    for call in calls:
        assert call["after"] == call["file"]
    assert not (workdir / MESSAGE_FILE).exists()


# ------------------------------------------------------------------ the process using the CPU now

# CPU LOW at 100% holds in every cycle: the alert goes out in the third
# cycle, when shares since the second are known; a reminder every minute
BUSY_SETUP = """hostid : "e2e-host"
interval : "1"
*cpuhighthreshold : "85"
*memhighthreshold : "85"
cpulowthreshold : "100"
cpulownum : "3"
*memlowthreshold : "10"
remind : "1"
"""

# six threads hashing (hashlib lets go of the interpreter lock for large
# data): every CPU it can get, also on a machine busy with other work,
# ending by itself after two minutes at the latest
BUSY_CHILD = """
import hashlib, threading, time
end = time.monotonic() + 120
data = b"x" * 1000000
def spin():
    while time.monotonic() < end:
        hashlib.sha256(data).digest()
threads = [threading.Thread(target=spin) for _ in range(6)]
for t in threads: t.start()
for t in threads: t.join()
"""


def test_alert_names_the_busy_process_first_and_a_reminder_follows_it(native, workdir, reaper,
                                                                     smtp_server):
    busy = reaper.track(subprocess.Popen([sys.executable, "-c", BUSY_CHILD]))
    write_file(workdir, "loadhawk_setup.txt", BUSY_SETUP)
    write_file(workdir, "loadhawk_email.txt", notify_file(server=smtp_server.url))
    m = Monitor(native, workdir)
    assert wait_for(lambda: len(smtp_server.messages) >= 2, timeout=100), (m.out(), m.log())
    m.end()
    busy.kill()
    busy.wait(timeout=10)
    # the alert and its reminder, nothing else
    alert, reminder = (email.message_from_bytes(mail.data, policy=email.policy.strict)
                       for mail in smtp_server.messages[:2])
    assert m.log().count("***Alert sending :") == 2
    for message in (alert, reminder):
        for name in ("Subject", "Message-ID"):
            assert message[name].defects == (), name

    # the block of each notice: the busy child among its rows, and first with
    # more than half of one CPU in at least one of them (on a machine shared
    # with other busy work one cycle may rank another process above it)
    heading = r"Using CPU now \(share of all (\d+) CPUs since the previous cycle\):\r?\n"
    row = r"NOW(\d)- PID: (\d+) CPU: (\d+\.\d)% USER: (\S+) COMMAND: (\S+) CMDLINE: ([^\r\n]*)"
    leads = []
    for message in (alert, reminder):
        body = message.get_content()
        cpus = re.search(heading, body)
        assert cpus, body
        rows = {int(pid): (int(rank), float(share), user, name, command_line)
                for rank, pid, share, user, name, command_line in re.findall(row, body)}
        assert busy.pid in rows, body
        rank, share, user, name, command_line = rows[busy.pid]
        assert user == getpass.getuser()
        assert name.startswith("python3")
        # the script's line feeds were made printable
        assert command_line.startswith(f"{sys.executable} -c ?import hashlib"), command_line
        leads.append(rank == 1 and share * int(cpus.group(1)) > 50)
    assert any(leads), [alert.get_content(), reminder.get_content()]
    # since the first of the three counted cycles, each at least a second
    assert re.search(r"\r?\nHolding since: " + STAMP + r" \([2-9] s\)\r?\n", alert.get_content())

    # the reminder, a minute on, follows up the alert and says how long it has held
    assert str(reminder["Subject"]).startswith("Reminder: ")
    assert reminder["In-Reply-To"] == alert["Message-ID"]
    assert reminder["References"] == alert["Message-ID"]
    assert re.search(r"\r?\nReminder: holding since " + STAMP + r", for 1 min\r?\n", reminder.get_content())
    assert "***Alert sending :Reminder: " in m.log()
