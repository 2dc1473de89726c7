"""pytest fixtures of the test peers; tests/e2e/conftest.py imports them.

smtp_server  a running SmtpPeer (loopback, free port, one test account)
dropping_smtp_server  one that hangs up in the middle of every message
rcpt_refusing_smtp_server, data_refusing_smtp_server
             ones that refuse every recipient / every message
starttls_smtp_server  one that requires STARTTLS; .ca_bundle is its test
             certificate, for CURL_CA_BUNDLE
mute_smtp_server      a MutePeer: accepts connections, never answers
bot_api      a running BotApiPeer (point `telegram_api` at .base)
bot_api_answering     a factory: bot_api_answering(401) starts one that
             answers every request with that status
fake_curl    a FakeCurl: a bin folder holding `curl` (the curl stand-in of
             the native build, tests/peers/curl_standin.c) to put first on
             PATH; .env(...) gives that environment, .calls() the records of
             every call (read_standin_log)
"""
import os
import pathlib
import shutil

import pytest

from bot_api_peer import BotApiPeer
from smtp_peer import MutePeer, SmtpPeer, make_test_certificate

PEERS = pathlib.Path(__file__).resolve().parent


def read_standin_log(path):
    """The records of the curl stand-in's log, one dict per call: pid, exe,
    line (Windows only), args, config (text) and file (bytes) when there was
    such a file, after (the -T file once a CURL_STANDIN_SLEEP wait ended),
    and whether it was marked, hung or woke."""
    path = pathlib.Path(path)
    calls = []
    if not path.exists():
        return calls
    for line in path.read_text().splitlines():
        tag, _, rest = line.partition(" ")
        if tag == "CALL":
            calls.append({"pid": int(rest), "args": [], "file": None, "config": None,
                          "after": None, "marked": False, "hung": False, "woke": False})
        elif tag in ("EXE", "LINE"):
            calls[-1][tag.lower()] = bytes.fromhex(rest).decode("latin-1")
        elif tag == "ARG":
            calls[-1]["args"].append(bytes.fromhex(rest).decode("latin-1"))
        elif tag in ("FILE", "AFTER"):
            calls[-1][tag.lower()] = bytes.fromhex(rest)
        elif tag == "CONFIG":
            calls[-1]["config"] = bytes.fromhex(rest).decode("latin-1")
        elif tag in ("MARKED", "HANG", "WOKE"):
            calls[-1]["hung" if tag == "HANG" else tag.lower()] = True
    return calls


def native_standin():
    build = pathlib.Path(os.environ.get("LOADHAWK_BUILD_DIR", PEERS.parents[1] / "build" / "native"))
    path = build / "curl_standin"
    if not path.exists():
        pytest.fail(f"curl stand-in missing: {path}")
    return path


class FakeCurl:
    def __init__(self, base):
        self.bin = base / "fake-curl-bin"
        self.bin.mkdir()
        self.program = self.bin / "curl"
        shutil.copy(native_standin(), self.program)
        self.program.chmod(0o755)
        self.log = base / "curl_standin.log"

    def env(self, **extra):
        """Environment entries that put the stand-in first on PATH; `extra`
        names CURL_STANDIN_ settings without the prefix (SLEEP=2)."""
        env = {"PATH": f"{self.bin}:{os.environ.get('PATH', '')}", "CURL_STANDIN_LOG": str(self.log)}
        env.update({f"CURL_STANDIN_{k}": str(v) for k, v in extra.items()})
        return env

    def calls(self):
        return read_standin_log(self.log)

    def running(self):
        """Pids of the stand-in's processes that still run (not zombies)."""
        found = []
        for entry in pathlib.Path("/proc").iterdir():
            try:
                if entry.name.isdigit() and os.readlink(entry / "exe") == str(self.program):
                    stat = (entry / "stat").read_text()
                    if stat[stat.rfind(")") + 2] != "Z":
                        found.append(int(entry.name))
            except OSError:
                continue
        return found


@pytest.fixture
def smtp_server():
    peer = SmtpPeer().start()
    yield peer
    peer.stop()


@pytest.fixture
def dropping_smtp_server():
    peer = SmtpPeer(drop_in_data=True).start()
    yield peer
    peer.stop()


@pytest.fixture
def rcpt_refusing_smtp_server():
    peer = SmtpPeer(refuse_at="rcpt").start()
    yield peer
    peer.stop()


@pytest.fixture
def data_refusing_smtp_server():
    peer = SmtpPeer(refuse_at="data").start()
    yield peer
    peer.stop()


@pytest.fixture
def starttls_smtp_server(tmp_path):
    cert, key = make_test_certificate(tmp_path)
    peer = SmtpPeer(starttls=(cert, key)).start()
    peer.ca_bundle = cert
    yield peer
    peer.stop()


@pytest.fixture
def mute_smtp_server():
    peer = MutePeer().start()
    yield peer
    peer.stop()


@pytest.fixture
def bot_api():
    peer = BotApiPeer().start()
    yield peer
    peer.stop()


@pytest.fixture
def bot_api_answering():
    peers = []

    def start(status):
        peers.append(BotApiPeer(status=status).start())
        return peers[-1]

    yield start
    for peer in peers:
        peer.stop()


@pytest.fixture
def fake_curl(tmp_path):
    return FakeCurl(tmp_path)
