"""The webhook channel end to end: real curl against a loopback receiver in
every body format, the receiver's refusals, the address kept off every
command line and out of the log, and "-test" under Wine with the curl.exe
stand-in.
"""
import json
import os
import pathlib
import re
import time

import pytest

from conftest import (CONFIG_FILE, curl_on_path, driver, log_messages, read_log, read_text,
                      standin_calls, wait_for, write_file)

CYCLES_SETUP = """hostid : "e2e-host"
interval : "60"
cpuhighthreshold : "90"
cpuhighnum : "1"
*memhighthreshold : "85"
*cpulowthreshold : "10"
*memlowthreshold : "10"
"""
# a process name with a quote, a backslash, a control byte and a byte that
# is no UTF-8, as the driver's first CPU row and in its list text
HOSTILE_NAME = 'we"ird\\\\na\\x01me\\xff'
NAME_IN_TEXT = 'we"ird\\na\x01me?'
NAME_IN_LIST = 'we"ird\\na?me?'
T1, T2, T3 = "2026-03-07 23:59:57", "2026-03-07 23:59:58", "2026-03-08 00:00:01"
CPU_LIST = (f"TOP1- PID: 4242 CPU_TIME: 812.5 sec COMMAND: {NAME_IN_TEXT}\n"
            "TOP2- PID: 1 CPU_TIME: 3.0 sec COMMAND: init\n")
ALERT_TEXT = f"ALERT CPU HIGH\nHost: e2e-host\nCPU: 97.3% >= 90%\nCount: 1\n{CPU_LIST}Time: {T1}"
RECOVERY_TEXT = f"RECOVERY CPU HIGH\nHost: e2e-host\nCPU: 12.0%\n{CPU_LIST}Time: {T2}"
HEARTBEAT_TEXT = f"IAMALIVE\nloadhawk is running\nHost: e2e-host\nCPU: 12.0%\nMEM: 40%\nTime: {T3}"


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
    if fmt == "slack":
        return data["text"]
    if fmt == "discord":
        return data["content"]
    if fmt == "json":
        return data["text"]
    [attachment] = data["attachments"]
    assert attachment["contentType"] == "application/vnd.microsoft.card.adaptive"
    card = attachment["content"]
    assert (card["type"], card["version"]) == ("AdaptiveCard", "1.4")
    # the first block is the title, then one block per line
    return "\n".join(block["text"] for block in card["body"][1:])


@pytest.mark.parametrize("fmt", ["slack", "discord", "teams", "ntfy", "json"])
def test_alert_recovery_and_heartbeat_reach_the_receiver(workdir, reaper, webhook_receiver, fmt):
    receiver = webhook_receiver()
    url = receiver.url()
    write_file(workdir, "loadhawk_setup.txt", CYCLES_SETUP)
    write_file(workdir, "loadhawk_email.txt", f'webhook : "{url}"\nwebhookformat : "{fmt}"\n'
                                              'iamalive : "ops@example.com"\n')
    # the alert, its recovery, and the heartbeat when the day changes
    (workdir / "script.txt").write_text(f"97.26 40 7 {T1}\n12.04 40 7 {T2}\n12.0 40 8 {T3}\n")
    r = driver("native", reaper).run("cycles", "7", "script.txt", cwd=workdir,
                                     env={"DRIVER_TOP_NAME": HOSTILE_NAME})
    assert r.rc == 0, r
    alert, recovery, heartbeat = receiver.requests
    # the address went to curl scrambled into the settings file, the host into the log
    assert "s3cret" not in read_text(workdir, "loadhawk_email.txt")
    assert "s3cret" not in read_log(workdir)
    assert log_messages(workdir)[-2:] == ["Send webhook to 127.0.0.1", "Webhook sent to 127.0.0.1"]
    content_type = "text/plain; charset=utf-8" if fmt == "ntfy" else "application/json"
    for request, text, event in ((alert, ALERT_TEXT, "alert"), (recovery, RECOVERY_TEXT, "recovery"),
                                 (heartbeat, HEARTBEAT_TEXT, "heartbeat")):
        assert (request["method"], request["path"]) == ("POST", "/hooks/T0/B0/s3cret")
        assert request["headers"]["Content-Type"] == content_type
        assert text_of(fmt, request) == text
        if fmt == "ntfy":
            assert request["headers"]["Priority"] == ("high" if event == "alert" else "default")
            assert request["headers"]["Title"] == {
                "alert": f"{T1} e2e-host CPU now 97.3% >= 90% for consecutive 1 times",
                "recovery": f"{T2} e2e-host CPU HIGH back to normal - CPU now 12.0%",
                "heartbeat": f"e2e-host loadhawk is up and running : {T3}"}[event]
    if fmt == "json":
        data = strict_json(alert["body"])
        utc = time.strftime("%Y-%m-%dT%H:%M:%SZ",
                            time.gmtime(time.mktime(time.strptime(T1, "%Y-%m-%d %H:%M:%S"))))
        assert {k: data[k] for k in ("host", "event", "monitor", "value", "threshold",
                                     "required_cycles", "time_local")} == {
            "host": "e2e-host", "event": "alert", "monitor": "CPU HIGH", "value": 97.3,
            "threshold": 90, "required_cycles": 1, "time_local": T1}
        assert data["time_utc"] == utc
        assert data["cpu_top"] == [{"pid": 4242, "name": NAME_IN_LIST, "value": 812.5},
                                   {"pid": 1, "name": "init", "value": 3.0}]
        assert data["mem_top"] == [{"pid": 777, "name": "big-cache", "value": 41.7},
                                   {"pid": 1, "name": "init", "value": 0.1}]
        assert strict_json(recovery["body"])["event"] == "recovery"
        beat = strict_json(heartbeat["body"])
        assert (beat["event"], beat["monitor"], beat["value"]) == ("heartbeat", None, None)


def webhook_settings(directory, url, fmt="slack"):
    path = pathlib.Path(directory) / "driver_settings.txt"
    path.write_text(f"webhook={url}\nwebhookformat={fmt}\nsendtimeout=30\n"
                    "subject=[TEST] loadhawk notification test\ntext=CPU 97%\n")
    return path.name


@pytest.mark.parametrize("status", [400, 401, 404, 500])
def test_receiver_refusals_are_failures_and_logged(workdir, reaper, webhook_receiver, status):
    receiver = webhook_receiver(status=status)
    r = driver("native", reaper).run("webhook", webhook_settings(workdir, receiver.url()),
                                     cwd=workdir)
    assert (r.rc, r.out) == (1, "Sending webhook alert ...\nWebhook command rc=22\n")
    assert len(receiver.requests) == 1
    assert log_messages(workdir) == ["Send webhook to 127.0.0.1",
                                     "Webhook not sent: curl rc=22 (HTTP error from the receiver)"]


def test_plain_http_to_another_host_is_refused_without_a_send(workdir, reaper, fake_curl):
    r = driver("native", reaper).run("webhook", webhook_settings(
        workdir, "http://hooks.example.com/s3cret"), cwd=workdir, env=fake_curl.env())
    reason = ("Webhook not sent: webhook must be https:// for a host that is not this machine"
              " (http:// only to localhost)")
    assert (r.rc, r.out) == (1, f"Sending webhook alert ...\n{reason}\n")
    assert log_messages(workdir) == ["Send webhook to hooks.example.com", reason]
    assert fake_curl.calls() == []


def test_address_stands_on_no_command_line_during_a_slow_send(workdir, reaper, webhook_receiver):
    # a secret of this run alone: other tests on the machine may show theirs
    secret = f"s3cret-{os.getpid()}x{time.monotonic_ns()}"
    receiver = webhook_receiver(delay=2)
    proc = driver("native", reaper).spawn("webhook", webhook_settings(
        workdir, receiver.url(f"/hooks/{secret}"), "json"), cwd=workdir)
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
    assert proc.returncode == 0
    assert seen_curl > 0, "the scan never met curl running"
    [request] = receiver.requests
    assert request["path"] == f"/hooks/{secret}"
    assert strict_json(request["body"])["event"] == "test"
    assert secret not in read_log(workdir)
    assert not (workdir / CONFIG_FILE).exists()
    assert not (workdir / "cpuwebhookbody.txt").exists()


def test_windows_self_test_over_the_webhook(windows, workdir, tmp_path):
    curl = curl_on_path(windows, workdir, tmp_path / "bin")
    write_file(workdir, "loadhawk_setup.txt", 'hostid : "h"\n')
    write_file(workdir, "loadhawk_email.txt",
               'webhook : "https://hooks.example.com/services/s3cret"\nwebhookformat : "teams"\n')
    r = windows.run("-test", cwd=workdir)
    assert r.rc == 0, r
    assert "\nTesting Webhook alert...\nSending webhook alert ...\nWebhook command rc=0\n" \
           "Webhook test OK\n" in r.out
    assert r.out.endswith("Webhook  : OK\n")
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
