"""Shared fixtures of the end-to-end tests.

They run the real loadhawk binary: the native build, and the Windows build
under Wine when LOADHAWK_WIN_EXE names it. Every test gets a fresh working
directory, and every process a test starts is ended by pid when the test
ends, also when it fails.
"""
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import time

import pytest

# the test peers (SMTP server, Bot API, webhook receiver, curl stand-in) and their fixtures
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "peers"))
from peer_fixtures import (bot_api, bot_api_answering, data_refusing_smtp_server,  # noqa: E402,F401
                           dropping_smtp_server, fake_curl, mute_smtp_server,
                           rcpt_refusing_smtp_server, read_standin_log, smtp_server,
                           starttls_smtp_server, webhook_receiver)

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"
WINE = "/usr/lib/wine/wine64"


def _native_binary():
    return pathlib.Path(os.environ.get("LOADHAWK_BIN", ROOT / "build" / "native" / "loadhawk"))


def _windows_binary():
    exe = os.environ.get("LOADHAWK_WIN_EXE")
    return pathlib.Path(exe) if exe else None


def wine_environment(extra=None):
    env = dict(os.environ)
    env.setdefault("WINEPREFIX", str(ROOT / "build" / "wineprefix"))
    env["WINEDEBUG"] = "-all"
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    if extra:
        env.update(extra)
    return env


class Result:
    def __init__(self, rc, out, err):
        self.rc = rc
        self.out = out
        self.err = err

    def __repr__(self):
        return f"Result(rc={self.rc!r}, out={self.out!r}, err={self.err!r})"


def normalise(text):
    """Console text with the platform's line ends turned into line feeds."""
    return text.replace("\r\n", "\n")


class Reaper:
    """Remembers the processes a test started and ends them by pid."""

    def __init__(self):
        self.procs = []
        self.pids = []

    def track(self, proc):
        self.procs.append(proc)
        return proc

    def track_pid(self, pid):
        self.pids.append(int(pid))

    def end_all(self):
        for proc in self.procs:
            if proc.poll() is None:
                try:
                    os.kill(proc.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
            for stream in (proc.stdout, proc.stderr, proc.stdin):
                if stream:
                    stream.close()
        for pid in self.pids:
            try:
                os.kill(pid, signal.SIGKILL)
            except (ProcessLookupError, PermissionError):
                pass


class Program:
    """One build of loadhawk: how to run it and what its output looks like."""

    def __init__(self, kind, path, reaper):
        self.kind = kind
        self.path = pathlib.Path(path)
        self.reaper = reaper
        # environment entries of every run (a test's own come on top)
        self.env = {}

    @property
    def windows(self):
        return self.kind == "windows"

    def command(self, *args):
        if self.windows:
            return [WINE, str(self.path), *args]
        return [str(self.path), *args]

    def environment(self, extra=None):
        merged = dict(self.env)
        merged.update(extra or {})
        if self.windows:
            return wine_environment(merged)
        env = dict(os.environ)
        env.update(merged)
        return env

    def run(self, *args, cwd, timeout=60, env=None):
        proc = subprocess.run(self.command(*args), cwd=cwd, env=self.environment(env),
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
        return Result(proc.returncode,
                      normalise(proc.stdout.decode("latin-1")),
                      normalise(proc.stderr.decode("latin-1")))

    def spawn(self, *args, cwd, env=None):
        """Starts the program without waiting; the test's reaper ends it."""
        proc = subprocess.Popen(self.command(*args), cwd=cwd, env=self.environment(env),
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)
        return self.reaper.track(proc)


@pytest.fixture
def reaper():
    r = Reaper()
    yield r
    r.end_all()


def _program(kind, reaper):
    if kind == "native":
        path = _native_binary()
        if not path.exists():
            pytest.fail(f"native build missing: {path}")
        return Program("native", path, reaper)
    path = _windows_binary()
    if path is None or not path.exists():
        if os.environ.get("LOADHAWK_REQUIRE_WINDOWS") == "1":
            pytest.fail(f"Windows build missing: {path}")
        pytest.skip("Windows build not given (LOADHAWK_WIN_EXE)")
    if not os.path.exists(WINE):
        pytest.fail("wine64 is not installed")
    return Program("windows", path, reaper)


@pytest.fixture(params=["native", "windows"])
def program(request, reaper):
    """The native build and the Windows build under Wine, in turn."""
    return _program(request.param, reaper)


@pytest.fixture
def native(reaper):
    return _program("native", reaper)


@pytest.fixture
def windows(reaper):
    return _program("windows", reaper)


@pytest.fixture
def workdir(tmp_path):
    """A fresh, empty working directory."""
    d = tmp_path / "work"
    d.mkdir()
    return d


def write_file(directory, name, text, newline="\n"):
    """Writes a settings file byte for byte (latin-1), with the given line ends."""
    data = text.replace("\n", newline).encode("latin-1")
    (pathlib.Path(directory) / name).write_bytes(data)


def prepare_dir(path, setup):
    """Makes `path` (and its parents) and writes the monitor settings file."""
    path = pathlib.Path(path)
    path.mkdir(parents=True, exist_ok=True)
    write_file(path, "loadhawk_setup.txt", setup)
    return path


def read_text(directory, name):
    """A file of the working directory as latin-1 text, or None when absent."""
    path = pathlib.Path(directory) / name
    return path.read_bytes().decode("latin-1") if path.exists() else None


def read_log(directory):
    """The event log with line ends made plain; empty when there is none."""
    text = read_text(directory, "loadhawk_log.txt")
    return normalise(text) if text is not None else ""


def copy_examples(directory):
    for name in ("loadhawk_setup.txt", "loadhawk_email.txt"):
        (pathlib.Path(directory) / name).write_bytes((EXAMPLES / name).read_bytes())


def windows_path(path):
    """A Linux path as Wine's Windows programs see it (drive Z: is /)."""
    return "Z:" + str(path).replace("/", "\\")


def wait_for(predicate, timeout=20.0, step=0.1):
    """Polls `predicate` until it is true or `timeout` seconds have passed."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return bool(predicate())


@pytest.fixture(autouse=True)
def sanitizer_reports():
    """With a sanitizer build, any report written during a test fails it."""
    directory = os.environ.get("LOADHAWK_SANITIZER_LOG_DIR")
    if not directory:
        yield
        return
    path = pathlib.Path(directory)
    path.mkdir(parents=True, exist_ok=True)
    before = set(path.iterdir())
    yield
    reports = sorted(set(path.iterdir()) - before)
    if reports:
        text = "\n".join(p.read_text(errors="replace") for p in reports)
        pytest.fail(f"sanitizer report:\n{text}")


# ------------------------------------------------------------------ shared by several test files

class Monitor:
    """One monitor run started in the background of a test, its console
    captured in files; ended by pid through the reaper."""

    def __init__(self, program, cwd, *args, env=None):
        self.cwd = cwd
        self.out_path = cwd.parent / f"{cwd.name}.stdout"
        self.err_path = cwd.parent / f"{cwd.name}.stderr"
        with open(self.out_path, "wb") as out, open(self.err_path, "wb") as err:
            self.proc = subprocess.Popen(program.command(*args), cwd=cwd, env=program.environment(env),
                                         stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        program.reaper.track(self.proc)

    def out(self):
        return normalise(self.out_path.read_bytes().decode("latin-1"))

    def err(self):
        return normalise(self.err_path.read_bytes().decode("latin-1"))

    def log(self):
        return read_log(self.cwd)

    def pid_file(self):
        return read_text(self.cwd, "loadhawk.pid")

    def wait_for_log(self, pattern, count=1, timeout=60):
        ok = wait_for(lambda: len(re.findall(pattern, self.log())) >= count or self.proc.poll() is not None,
                      timeout=timeout)
        assert ok and self.proc.poll() is None, (self.proc.poll(), self.out(), self.err(), self.log())

    def end(self):
        self.proc.kill()
        self.proc.wait(timeout=30)


def log_messages(directory):
    return [line[20:] for line in read_log(directory).splitlines()]


def standin_calls(directory):
    """The records of the curl stand-in run with its log in `directory`."""
    return read_standin_log(pathlib.Path(directory) / "curl_standin.log")


def curl_on_path(program, workdir, bin_dir):
    """Puts the curl.exe stand-in on Wine's PATH (WINEPATH) for every run of
    `program`, and plants copies of it named cmd.exe and curl.exe in the
    working directory, where cmd.exe and CreateProcess would look first.
    Returns the Windows path of the stand-in on PATH."""
    bin_dir.mkdir()
    shutil.copy(program.path.parent / "curl.exe", bin_dir / "curl.exe")
    for planted in ("cmd.exe", "curl.exe"):
        shutil.copy(program.path.parent / "curl.exe", pathlib.Path(workdir) / planted)
    program.env["WINEPATH"] = windows_path(bin_dir)
    return windows_path(bin_dir / "curl.exe")


def planted_programs_that_ran(workdir, curl_path):
    """The programs other than the stand-in on PATH that recorded a call."""
    return [c["exe"] for c in standin_calls(workdir) if c["exe"] != curl_path]


# the curl configuration file of a send, and the forms of the Date and
# Message-ID header values of a mail
CONFIG_FILE = "cpucurlconf.txt"
DATE = (rb"(?:Mon|Tue|Wed|Thu|Fri|Sat|Sun), \d\d (?:Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)"
        rb" \d{4} \d\d:\d\d:\d\d [+-]\d{4}")
MESSAGE_ID = rb"<\d{14}\.\d+\.\d+@[A-Za-z0-9.-]+>"


def mail_bytes(sender, to, subject, body, data, in_reply_to=None):
    """The message file as the program writes it (CRLF line ends), with the
    Date and Message-ID that `data`, the message as curl read or sent it,
    carries once each has its proper form; with `in_reply_to`, the
    In-Reply-To and References lines of a follow-up."""
    date = re.search(rb"\r\nDate: (" + DATE + rb")\r\n", data)
    message_id = re.search(rb"\r\nMessage-ID: (" + MESSAGE_ID + rb")\r\n", data)
    assert date and message_id, data
    text = (f"From: {sender}\nTo: {to}\nSubject: {subject}\nDate: {date.group(1).decode()}\n"
            f"Message-ID: {message_id.group(1).decode()}\n"
            + (f"In-Reply-To: {in_reply_to}\nReferences: {in_reply_to}\n" if in_reply_to else "")
            + "MIME-Version: 1.0\n"
            "Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n\n"
            f"{body}\n")
    return text.replace("\n", "\r\n").encode("latin-1")


# what curl's codes mean, as a failed send says on the console and in the log
CURL_MEANING = {7: "no connection to the server", 22: "HTTP error from the Bot API",
                60: "server certificate not trusted", 67: "login denied", 124: "sendtimeout ran out"}


def curl_failure_line(label, rc):
    """The line of a send that curl ended with `rc` (not 0)."""
    meaning = CURL_MEANING.get(rc)
    if label == "Webhook" and rc == 22:
        meaning = "HTTP error from the receiver"
    return f"{label} not sent: curl rc={rc}" + (f" ({meaning})" if meaning else "")


def curl_config(option, value):
    """The curl configuration file holding `option = "value"`, quoted as curl reads it."""
    escapes = {"\\": "\\\\", '"': '\\"', "\t": "\\t", "\n": "\\n", "\r": "\\r", "\v": "\\v"}
    return f'{option} = "' + "".join(escapes.get(c, c) for c in value) + '"\n'
