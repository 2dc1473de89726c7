"""The webhook channel end to end: a monitor run under a scripted load posts
its alerts, recoveries and heartbeat through real curl to a loopback
receiver in every body format, with Telegram's texts; "-test" meets the
receiver's refusals, a plain-http address and a slow receiver (the address
on no command line); and "-test" under Wine with the curl.exe stand-in.
"""
import json
import os
import pathlib
import re
import socket
import subprocess
import sys
import time

import pytest

from conftest import (CONFIG_FILE, Monitor, curl_on_path, log_messages, read_log, read_text,
                      standin_calls, wait_for, write_file)
from test_delivery import (CHAT_ID, CYCLES_SETUP, TOKEN, bot_text, midnight_in,  # noqa: F401
                           scripted_load, self_test_console)

SECRET_PATH = "/hooks/T0/B0/s3cret"

# a process whose name holds a quote, a backslash, a control byte and a
# byte that is no UTF-8, holding enough memory to stand in the memory list
HOSTILE_NAME = b'q"b\\s\x01x\xffz'
HOSTILE_SHOWN = 'q"b\\s?x?z'
HOLDER = """
import ctypes, sys, time
ctypes.CDLL(None).prctl(15, ctypes.c_char_p(bytes.fromhex(sys.argv[1])), 0, 0, 0)
block = b"\\x01" * (800 << 20)
print("ready", flush=True)
time.sleep(600)
"""


@pytest.fixture
def hostile_process(reaper):
    proc = reaper.track(subprocess.Popen([sys.executable, "-c", HOLDER, HOSTILE_NAME.hex()],
                                         stdout=subprocess.PIPE))
    assert proc.stdout.readline() == b"ready\n"
    assert pathlib.Path(f"/proc/{proc.pid}/comm").read_bytes() == HOSTILE_NAME + b"\n"
    return proc


def as_utf8(text):
    """A Telegram text (latin-1 of its bytes) with each byte that is no UTF-8 as '?'."""
    return text.encode("latin-1").decode("utf-8", errors="replace").replace("\ufffd", "?")


def strict_json(body):
    """The body as a strict parser reads it: UTF-8, no raw control characters."""
    def refuse(name):
        raise ValueError(f"not JSON: {name}")
    return json.loads(body.decode("utf-8"), parse_constant=refuse)


def text_of(fmt, request):
    body = request["body"]
    if fmt == "ntfy":
        return body.decode("utf-8")
    data = strict_json(body)
    if fmt in ("slack", "json"):
        return data["text"]
    if fmt == "discord":
        return data["content"]
    [attachment] = data["attachments"]
    assert attachment["contentType"] == "application/vnd.microsoft.card.adaptive"
    card = attachment["content"]
    assert (card["type"], card["version"]) == ("AdaptiveCard", "1.4")
    # the first block is the title, then one block per line
    return "\n".join(block["text"] for block in card["body"][1:])


def settings(url, fmt, bot_api=None, iamalive=None):
    lines = [f'webhook : "{url}"', f'webhookformat : "{fmt}"', 'sendtimeout : "30"']
    if bot_api is not None:
        lines += [f'token : "{TOKEN}"', f'chat_id : "{CHAT_ID}"', f'telegram_api : "{bot_api.base}"']
    if iamalive is not None:
        lines.append(f'iamalive : "{iamalive}"')
    return "".join(line + "\n" for line in lines)


def check_top(entries, text):
    assert 1 <= len(entries) <= 5
    for entry in entries:
        assert set(entry) == {"pid", "name", "value"}
        assert isinstance(entry["name"], str) and isinstance(entry["value"], (int, float))
        assert f"PID: {entry['pid']} " in text


@pytest.mark.parametrize("fmt", ["slack", "discord", "teams", "ntfy", "json"])
def test_alerts_and_recoveries_reach_the_receiver_with_telegrams_text(
        scripted_load, workdir, bot_api, webhook_receiver, hostile_process, fmt):
    receiver = webhook_receiver()
    write_file(workdir, "loadhawk_setup.txt", CYCLES_SETUP)
    write_file(workdir, "loadhawk_email.txt", settings(receiver.url(SECRET_PATH), fmt, bot_api))
    # CPU HIGH alerts in the first cycle, MEM HIGH in the second; then both end
    scripted_load.set(cpu_permille=973, mem_percent=90)
    m = Monitor(scripted_load.program, workdir)
    m.wait_for_log("Webhook sent to 127.0.0.1", count=2)
    scripted_load.set(cpu_permille=120, mem_percent=40)
    m.wait_for_log("Webhook sent to 127.0.0.1", count=4)
    m.end()
    alert, mem_alert, recovery, mem_recovery = receiver.requests
    # the same notices and texts as Telegram, in the same order
    assert [text_of(fmt, r) for r in receiver.requests] == [
        as_utf8(bot_text(r)) for r in bot_api.requests]
    assert text_of(fmt, alert).startswith("ALERT CPU HIGH\nHost: e2e-host\nCPU: 97.3% >= 90%\n")
    assert text_of(fmt, recovery).startswith("RECOVERY CPU HIGH\nHost: e2e-host\nCPU: 12.0%\n")
    assert text_of(fmt, mem_alert).startswith("ALERT MEM HIGH\nHost: e2e-host\nMEM: 90% >= 85%\n")
    assert f"PID: {hostile_process.pid} %MEM: " in text_of(fmt, mem_alert)
    assert f" COMMAND: {HOSTILE_SHOWN}\n" in text_of(fmt, mem_alert)
    content_type = "text/plain; charset=utf-8" if fmt == "ntfy" else "application/json"
    for request in receiver.requests:
        assert (request["method"], request["path"]) == ("POST", SECRET_PATH)
        assert request["headers"]["Content-Type"] == content_type
    subjects = [line[len("***Alert sending :"):] for line in log_messages(workdir)
                if line.startswith("***Alert sending :")]
    if fmt == "ntfy":
        assert [(r["headers"]["Title"], r["headers"]["Priority"]) for r in receiver.requests] == [
            (subjects[0], "high"), (subjects[1], "high"), (subjects[2], "default"),
            (subjects[3], "default")]
    if fmt == "json":
        for request, event, value in ((alert, "alert", 97.3), (recovery, "recovery", 12.0)):
            data = strict_json(request["body"])
            assert {k: data[k] for k in ("host", "event", "monitor", "value", "threshold",
                                         "required_cycles")} == {
                "host": "e2e-host", "event": event, "monitor": "CPU HIGH", "value": value,
                "threshold": 90, "required_cycles": 1}
            local = data["time_local"]
            assert data["text"].endswith(f"Time: {local}")
            utc = time.strftime("%Y-%m-%dT%H:%M:%SZ",
                                time.gmtime(time.mktime(time.strptime(local, "%Y-%m-%d %H:%M:%S"))))
            assert data["time_utc"] == utc
            assert data["title"] in subjects
            check_top(data["cpu_top"], data["text"])
            assert 1 <= len(data["mem_top"]) <= 5
        listed = strict_json(mem_alert["body"])["mem_top"]
        check_top(listed, strict_json(mem_alert["body"])["text"])
        assert {"pid": hostile_process.pid, "name": HOSTILE_SHOWN} in [
            {"pid": e["pid"], "name": e["name"]} for e in listed]
    # the address went into the settings file scrambled and into the log by its host only
    assert "s3cret" not in read_text(workdir, "loadhawk_email.txt")
    assert "s3cret" not in read_log(workdir)
    assert not (workdir / "cpuwebhookbody.txt").exists()


def test_heartbeat_reaches_the_receiver(scripted_load, workdir, bot_api, webhook_receiver):
    receiver = webhook_receiver()
    write_file(workdir, "loadhawk_setup.txt", CYCLES_SETUP)
    write_file(workdir, "loadhawk_email.txt",
               settings(receiver.url(), "json", bot_api, iamalive="alive@example.com"))
    scripted_load.set(cpu_permille=120, mem_percent=40)
    # started a few seconds before local midnight: the day changes in a later cycle
    m = Monitor(scripted_load.program, workdir, env={"TZ": midnight_in(4)})
    m.wait_for_log("Webhook sent to 127.0.0.1")
    m.end()
    [request] = receiver.requests
    data = strict_json(request["body"])
    assert (data["event"], data["monitor"], data["value"], data["host"]) == (
        "heartbeat", None, None, "e2e-host")
    assert data["text"] == bot_text(bot_api.requests[0])
    assert data["text"].startswith("IAMALIVE\nloadhawk is running\nHost: e2e-host\n")


@pytest.mark.parametrize("status", [200, 400, 401, 404, 500])
def test_self_test_counts_a_post_only_when_the_receiver_accepts_it(native, workdir,
                                                                    webhook_receiver, status):
    receiver = webhook_receiver(status=status)
    write_file(workdir, "loadhawk_setup.txt", 'hostid : "h"\n')
    write_file(workdir, "loadhawk_email.txt", settings(receiver.url(), "json"))
    r = native.run("-test", cwd=workdir)
    accepted = status == 200
    assert (r.rc, r.out) == (0 if accepted else 1, self_test_console(
        None, None, webhook=accepted, webhook_rc=0 if accepted else 22))
    [request] = receiver.requests
    data = strict_json(request["body"])
    assert (data["event"], data["host"], data["cpu_top"]) == ("test", socket.gethostname(), [])
    assert data["title"] == "[TEST] loadhawk notification test"
    outcome = ("Webhook sent to 127.0.0.1" if accepted
               else "Webhook not sent: curl rc=22 (HTTP error from the receiver)")
    assert log_messages(workdir)[2:4] == ["Send webhook to 127.0.0.1", outcome]


def test_plain_http_to_another_host_is_refused_without_a_send(native, workdir, fake_curl):
    write_file(workdir, "loadhawk_setup.txt", 'hostid : "h"\n')
    write_file(workdir, "loadhawk_email.txt", settings("http://hooks.example.com/s3cret", "slack"))
    r = native.run("-test", cwd=workdir, env=fake_curl.env())
    reason = ("Webhook not sent: webhook must be https:// for a host that is not this machine"
              " (http:// only to localhost)")
    assert r.rc == 1
    assert f"\nTesting Webhook alert...\nSending webhook alert ...\n{reason}\nWebhook test FAILED\n" in r.out
    assert log_messages(workdir)[2:4] == ["Send webhook to hooks.example.com", reason]
    assert fake_curl.calls() == []


def test_address_stands_on_no_command_line_during_a_slow_send(native, workdir, webhook_receiver):
    # a secret of this run alone: other tests on the machine may show theirs
    secret = f"s3cret-{os.getpid()}x{time.monotonic_ns()}"
    receiver = webhook_receiver(delay=2)
    write_file(workdir, "loadhawk_setup.txt", 'hostid : "h"\n')
    write_file(workdir, "loadhawk_email.txt", settings(receiver.url(f"/hooks/{secret}"), "teams"))
    proc = native.spawn("-test", cwd=workdir)
    seen_curl = 0
    while proc.poll() is None:
        for entry in pathlib.Path("/proc").iterdir():
            try:
                cmdline = (entry / "cmdline").read_bytes().decode("latin-1")
            except OSError:
                continue
            assert secret not in cmdline, cmdline
            seen_curl += cmdline.startswith("curl\0")
        time.sleep(0.05)
    assert proc.returncode == 0, proc.stdout.read()
    assert seen_curl > 0, "the scan never met curl running"
    [request] = receiver.requests
    assert request["path"] == f"/hooks/{secret}"
    assert secret not in read_log(workdir)
    assert secret not in read_text(workdir, "loadhawk_email.txt")
    assert not (workdir / CONFIG_FILE).exists()
    assert not (workdir / "cpuwebhookbody.txt").exists()


def test_windows_self_test_over_the_webhook(windows, workdir, tmp_path):
    curl = curl_on_path(windows, workdir, tmp_path / "bin")
    write_file(workdir, "loadhawk_setup.txt", 'hostid : "h"\n')
    write_file(workdir, "loadhawk_email.txt",
               'webhook : "https://hooks.example.com/services/s3cret"\nwebhookformat : "teams"\n')
    r = windows.run("-test", cwd=workdir)
    assert (r.rc, r.out) == (0, self_test_console(None, None, webhook=True))
    [call] = standin_calls(workdir)
    assert call["exe"] == curl
    assert call["args"] == ["-s", "--fail", "-K", CONFIG_FILE]
    assert "s3cret" not in call["line"]
    assert call["config"] == ('url = "https://hooks.example.com/services/s3cret"\n'
                              'header = "Content-Type: application/json"\n'
                              'data-binary = "@cpuwebhookbody.txt"\n')
    assert "s3cret" not in read_text(workdir, "loadhawk_email.txt")
    assert "Webhook sent to hooks.example.com" in log_messages(workdir)
    assert wait_for(lambda: not (workdir / "cpuwebhookbody.txt").exists())
    assert not re.search("s3cret", read_log(workdir))
