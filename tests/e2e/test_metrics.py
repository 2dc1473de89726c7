"""The metrics file for Prometheus: served by Debian's node exporter (its
textfile collector) natively, read straight from the folder under Wine, and
a folder that goes away and comes back while the monitor runs.

Every process a test starts (the monitor, the exporter) is ended by pid,
also when the test fails.
"""
import re
import shutil
import subprocess
import time
import urllib.request

import pytest

from conftest import Monitor, wait_for, write_file
from smtp_peer import free_port
from test_delivery import notify_file

EXPORTER = "/usr/bin/prometheus-node-exporter"
METRICS_DIR = "metrics"
METRICS_FILE = "metrics/loadhawk.prom"

# CPU LOW holds in every cycle and alerts in the first; MEM LOW holds and
# counts up without reaching its count; MEM HIGH at 101% never holds; CPU
# HIGH is off (with its default count)
SETUP = f"""hostid : "metrics-host"
interval : "1"
*cpuhighthreshold : "85"
memhighthreshold : "101"
memhighnum : "3"
cpulowthreshold : "100"
cpulownum : "1"
memlowthreshold : "100"
memlownum : "1000"
metricsfile : "{METRICS_FILE}"
"""

MONITORS = ("cpu_high", "cpu_low", "mem_high", "mem_low")
EXPECTED_PER_MONITOR = {
    "loadhawk_monitor_enabled": {"cpu_high": 0, "cpu_low": 1, "mem_high": 1, "mem_low": 1},
    "loadhawk_monitor_threshold_ratio": {"cpu_high": 0.85, "cpu_low": 1.0, "mem_high": 1.01, "mem_low": 1.0},
    "loadhawk_monitor_required_cycles": {"cpu_high": 5, "cpu_low": 1, "mem_high": 3, "mem_low": 1000},
    "loadhawk_monitor_alerted": {"cpu_high": 0, "cpu_low": 1, "mem_high": 0, "mem_low": 0},
}
TYPES = {
    "loadhawk_cpu_usage_ratio": "gauge",
    "loadhawk_memory_load_ratio": "gauge",
    "loadhawk_monitor_enabled": "gauge",
    "loadhawk_monitor_threshold_ratio": "gauge",
    "loadhawk_monitor_required_cycles": "gauge",
    "loadhawk_monitor_consecutive_cycles": "gauge",
    "loadhawk_monitor_alerted": "gauge",
    "loadhawk_notices_total": "counter",
    "loadhawk_notice_last_sent_timestamp_seconds": "gauge",
    "loadhawk_last_cycle_timestamp_seconds": "gauge",
    "loadhawk_start_time_seconds": "gauge",
    "loadhawk_build_info": "gauge",
}
SAMPLE_LINE = re.compile(r"([a-zA-Z_:][a-zA-Z0-9_:]*)(?:\{([^}]*)\})? (\S+)")


def parse(text):
    """{(name, ((label, value), ...)): value} of the samples, and the
    {name: type} of the TYPE lines; every loadhawk family has HELP and TYPE
    before its first sample."""
    samples, types, helped = {}, {}, set()
    for line in text.splitlines():
        if line.startswith("# HELP "):
            helped.add(line.split(" ")[2])
        elif line.startswith("# TYPE "):
            _, _, name, kind = line.split(" ")
            types[name] = kind
        elif line and not line.startswith("#"):
            match = SAMPLE_LINE.fullmatch(line)
            assert match, line
            name, labels, value = match.groups()
            # the exporter's own summaries add _sum and _count to their names
            assert not name.startswith("loadhawk_") or (name in types and name in helped), line
            pairs = tuple(re.findall(r'([a-zA-Z_]\w*)="([^"]*)"', labels or ""))
            samples[(name, pairs)] = float(value)
    return samples, types


def value(samples, name, **labels):
    return samples[(name, tuple(sorted(labels.items())))]


def check_loadhawk_series(samples, types, started, now):
    """The series of a run of SETUP that has counted at least two cycles."""
    assert {name: kind for name, kind in types.items() if name.startswith("loadhawk_")} == TYPES
    for name, expected in EXPECTED_PER_MONITOR.items():
        assert {m: value(samples, name, monitor=m) for m in MONITORS} == pytest.approx(expected), name
    consecutive = {m: value(samples, "loadhawk_monitor_consecutive_cycles", monitor=m) for m in MONITORS}
    # count 1 starts again from 0 when it fires; MEM LOW counts every cycle
    assert consecutive["cpu_high"] == consecutive["cpu_low"] == consecutive["mem_high"] == 0
    assert consecutive["mem_low"] >= 2
    assert 0 <= value(samples, "loadhawk_cpu_usage_ratio") <= 1
    assert 0 <= value(samples, "loadhawk_memory_load_ratio") <= 1
    start = value(samples, "loadhawk_start_time_seconds")
    cycle = value(samples, "loadhawk_last_cycle_timestamp_seconds")
    assert started - 1 <= start <= cycle <= now + 1
    assert value(samples, "loadhawk_build_info", version="1.0.0") == 1
    return consecutive["mem_low"], cycle


def scrape(port):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/metrics", timeout=10) as answer:
        return answer.read().decode("utf-8")


def start_exporter(reaper, directory):
    """The node exporter with only its textfile collector, on a free
    loopback port; a port taken in the meantime gets another try."""
    for _ in range(3):
        port = free_port()
        proc = reaper.track(subprocess.Popen(
            [EXPORTER, f"--web.listen-address=127.0.0.1:{port}", "--collector.disable-defaults",
             "--collector.textfile", f"--collector.textfile.directory={directory}"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE))

        def answers():
            try:
                scrape(port)
                return True
            except OSError:
                return False

        if wait_for(lambda: answers() or proc.poll() is not None, timeout=20) and proc.poll() is None:
            return proc, port
    pytest.fail("the node exporter did not start")


def test_node_exporter_serves_the_cycle_figures_and_notice_counts(native, workdir, reaper, smtp_server):
    (workdir / METRICS_DIR).mkdir()
    write_file(workdir, "loadhawk_setup.txt", SETUP)
    # the alert reaches the SMTP server; Telegram points at a closed port and fails
    write_file(workdir, "loadhawk_email.txt", notify_file(
        server=smtp_server.url, token="1:t", chat_id="1", telegram_api=f"http://127.0.0.1:{free_port()}"))
    exporter, port = start_exporter(reaper, workdir / METRICS_DIR)
    started = time.time()
    monitor = Monitor(native, workdir, "-s")

    def mem_low_count():
        samples, _ = parse(scrape(port))
        key = ("loadhawk_monitor_consecutive_cycles", (("monitor", "mem_low"),))
        return samples.get(key, 0)

    assert wait_for(lambda: mem_low_count() >= 2 or monitor.proc.poll() is not None, timeout=60), monitor.log()
    first, types = parse(scrape(port))
    assert value(first, "node_textfile_scrape_error") == 0
    counted, cycle = check_loadhawk_series(first, types, started, time.time())
    assert {(c, r): value(first, "loadhawk_notices_total", channel=c, result=r)
            for c in ("email", "telegram") for r in ("sent", "failed")} == {
        ("email", "sent"): 1, ("email", "failed"): 0, ("telegram", "sent"): 0, ("telegram", "failed"): 1}
    assert len(smtp_server.messages) == 1
    mailed = value(first, "loadhawk_notice_last_sent_timestamp_seconds", channel="email")
    assert started - 1 <= mailed <= cycle
    assert value(first, "loadhawk_notice_last_sent_timestamp_seconds", channel="telegram") == 0

    # a later scrape shows a later cycle
    assert wait_for(lambda: mem_low_count() > counted, timeout=30)
    later, _ = parse(scrape(port))
    assert value(later, "loadhawk_last_cycle_timestamp_seconds") > cycle
    assert value(later, "node_textfile_scrape_error") == 0
    monitor.end()
    exporter.kill()
    exporter.wait(timeout=10)
    # only the metrics file stands in the folder: no temporary copy left behind
    assert sorted(p.name for p in (workdir / METRICS_DIR).iterdir()) == ["loadhawk.prom"]


def test_windows_build_writes_the_file(windows, workdir):
    (workdir / METRICS_DIR).mkdir()
    write_file(workdir, "loadhawk_setup.txt", SETUP)
    path = workdir / METRICS_FILE
    started = time.time()
    monitor = Monitor(windows, workdir, "-s")

    def counted():
        found = re.search(r'loadhawk_monitor_consecutive_cycles\{monitor="mem_low"\} (\d+)',
                          path.read_bytes().decode("utf-8") if path.exists() else "")
        return found is not None and int(found.group(1)) >= 2

    assert wait_for(lambda: counted() or monitor.proc.poll() is not None, timeout=60), monitor.log()
    data = path.read_bytes()
    monitor.end()
    # line feeds only, the last line ended, as the exposition format wants
    assert b"\r" not in data and data.endswith(b"\n")
    samples, types = parse(data.decode("utf-8"))
    check_loadhawk_series(samples, types, started, time.time())
    assert all(value(samples, "loadhawk_notices_total", channel=c, result=r) == 0
               for c in ("email", "telegram") for r in ("sent", "failed"))


def test_a_folder_that_goes_and_comes_back_is_logged_once_each_way(program, workdir):
    (workdir / METRICS_DIR).mkdir()
    write_file(workdir, "loadhawk_setup.txt", SETUP)
    path = workdir / METRICS_FILE
    monitor = Monitor(program, workdir, "-s")
    assert wait_for(path.exists, timeout=60), monitor.log()

    shutil.rmtree(workdir / METRICS_DIR)
    failing = f"Metrics file {METRICS_FILE} cannot be written"
    monitor.wait_for_log(re.escape(failing))
    # more cycles go by without another line
    monitor.wait_for_log(r"MEMORY Usage <= 100% count", count=monitor.log().count("MEMORY Usage <= 100%") + 3)
    (workdir / METRICS_DIR).mkdir()
    monitor.wait_for_log(re.escape(f"Metrics file {METRICS_FILE} written again"))
    assert wait_for(path.exists, timeout=30)
    monitor.end()
    log = monitor.log()
    assert log.count(failing) == 1, log
    assert log.count("written again") == 1, log


@pytest.mark.parametrize("own", ["loadhawk_setup.txt", "./loadhawk_email.txt", "loadhawk_log.txt"])
def test_monitor_writes_no_metrics_over_its_own_files(native, workdir, own):
    write_file(workdir, "loadhawk_setup.txt", SETUP.replace(METRICS_FILE, own))
    write_file(workdir, "loadhawk_email.txt", 'sendtimeout : "30"\n')
    before = {name: (workdir / name).read_bytes() for name in ("loadhawk_setup.txt", "loadhawk_email.txt")}
    m = Monitor(native, workdir)
    m.wait_for_log(r"Still LOW", count=2)
    m.end()
    refusal = f"metricsfile {own} is one of loadhawk's own files: no metrics file is written\n"
    assert refusal in m.err() and refusal in m.log()
    assert {name: (workdir / name).read_bytes() for name in before} == before
    assert "# TYPE" not in m.log()
    assert list(workdir.glob("*.tmp")) == []
