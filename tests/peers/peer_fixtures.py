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
webhook_receiver  a factory: webhook_receiver(status=200, delay=0) starts a
             WebhookPeer (.url(), .requests with method, path, headers, body)
fake_curl    a FakeCurl: a bin folder holding `curl` (fake_curl.py) to put
             first on PATH; .env(...) gives that environment, .calls() the
             records of every call
"""
import json
import os
import pathlib
import shutil

import pytest

from bot_api_peer import BotApiPeer
from smtp_peer import MutePeer, SmtpPeer, make_test_certificate
from webhook_peer import WebhookPeer

PEERS = pathlib.Path(__file__).resolve().parent


class FakeCurl:
    def __init__(self, base):
        self.bin = base / "fake-curl-bin"
        self.bin.mkdir()
        shutil.copy(PEERS / "fake_curl.py", self.bin / "curl")
        (self.bin / "curl").chmod(0o755)
        self.log = base / "fake_curl.jsonl"

    def env(self, **extra):
        """Environment entries that put the stand-in first on PATH."""
        env = {"PATH": f"{self.bin}:{os.environ.get('PATH', '')}", "FAKE_CURL_LOG": str(self.log)}
        env.update({k: str(v) for k, v in extra.items()})
        return env

    def calls(self):
        if not self.log.exists():
            return []
        return [json.loads(line) for line in self.log.read_text().splitlines() if line]


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
def webhook_receiver():
    peers = []

    def start(status=200, delay=0.0):
        peers.append(WebhookPeer(status=status, delay=delay).start())
        return peers[-1]

    yield start
    for peer in peers:
        peer.stop()


@pytest.fixture
def fake_curl(tmp_path):
    return FakeCurl(tmp_path)
