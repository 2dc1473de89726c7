"""An SMTP server on loopback for the delivery tests (Debian's aiosmtpd).

It accepts AUTH PLAIN and LOGIN without TLS for one test account, refuses
any other password, and keeps every message with its envelope and its raw
bytes. Start it from a test with SmtpPeer().start(), or on its own with
`/usr/bin/python3 tests/peers/smtp_peer.py` (it prints its port).
"""
import logging
import socket
import threading
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult

# a loopback test server: plain-text AUTH is what it is for
warnings.filterwarnings("ignore", message="Requiring AUTH while not requiring TLS")
logging.getLogger("mail.log").setLevel(logging.ERROR)

TEST_LOGIN = "alerts@example.com"
TEST_PASSWORD = "s3cret pass"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Message:
    def __init__(self, mail_from, rcpt_tos, data, login):
        self.mail_from = mail_from
        self.rcpt_tos = rcpt_tos
        self.data = data      # the message bytes exactly as they arrived
        self.login = login    # the account that authenticated

    def __repr__(self):
        return f"Message({self.mail_from!r}, {self.rcpt_tos!r}, {self.data!r})"


class _Handler:
    def __init__(self, peer):
        self.peer = peer

    async def handle_DATA(self, server, session, envelope):
        login = session.auth_data if session.authenticated else None
        with self.peer.lock:
            self.peer.messages.append(Message(envelope.mail_from, list(envelope.rcpt_tos),
                                              bytes(envelope.original_content), login))
        return "250 Message accepted"


class SmtpPeer:
    def __init__(self, login=TEST_LOGIN, password=TEST_PASSWORD):
        self.login = login
        self.password = password
        self.messages = []
        self.lock = threading.Lock()
        self.port = None
        self._controller = None

    def _authenticate(self, server, session, envelope, mechanism, auth_data):
        ok = (auth_data.login.decode("latin-1") == self.login
              and auth_data.password.decode("latin-1") == self.password)
        login = auth_data.login.decode("latin-1")
        return AuthResult(success=ok, handled=False, auth_data=login if ok else None)

    def start(self):
        self.port = free_port()
        self._controller = Controller(
            _Handler(self), hostname="127.0.0.1", port=self.port,
            authenticator=self._authenticate, auth_require_tls=False, auth_required=False,
            decode_data=False)
        self._controller.start()
        return self

    def stop(self):
        if self._controller is not None:
            self._controller.stop()
            self._controller = None

    @property
    def url(self):
        return f"smtp://127.0.0.1:{self.port}"


if __name__ == "__main__":
    import time

    peer = SmtpPeer().start()
    print(peer.port, flush=True)
    try:
        while True:
            time.sleep(1)
    finally:
        peer.stop()
