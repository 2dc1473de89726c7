"""An SMTP server on loopback for the delivery tests (Debian's aiosmtpd).

It accepts AUTH PLAIN and LOGIN without TLS for one test account, refuses
any other password, and keeps every message with its envelope and its raw
bytes. Start it from a test with SmtpPeer().start(), or on its own with
`/usr/bin/python3 tests/peers/smtp_peer.py` (it prints its port).

Faults: SmtpPeer(drop_in_data=True) closes the connection after the first
line of a message has arrived; SmtpPeer(refuse_at="rcpt") refuses every
recipient, refuse_at="data" every message once it has arrived; MutePeer
accepts connections and never says a word.

TLS: SmtpPeer(starttls=(cert, key)) offers STARTTLS with that certificate
and requires it before AUTH and MAIL (make_test_certificate makes one);
each Message records whether it came over TLS.
"""
import logging
import pathlib
import socket
import ssl
import subprocess
import threading
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult

# a loopback test server: plain-text AUTH is what it is for
warnings.filterwarnings("ignore", message="Requiring AUTH while not requiring TLS")
logging.getLogger("mail.log").setLevel(logging.ERROR)

TEST_LOGIN = "alerts@example.com"
TEST_PASSWORD = "s3cret pass"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_test_certificate(directory):
    """A self-signed certificate for 127.0.0.1, ::1 and localhost, made with
    openssl: (certificate path, key path). Point curl at the certificate
    with CURL_CA_BUNDLE."""
    directory = pathlib.Path(directory)
    cert, key = directory / "smtp-cert.pem", directory / "smtp-key.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-keyout", str(key), "-out", str(cert), "-subj", "/CN=localhost",
                    "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1"],
                   check=True, capture_output=True)
    return cert, key


class Message:
    def __init__(self, mail_from, rcpt_tos, data, login, tls=False):
        self.mail_from = mail_from
        self.rcpt_tos = rcpt_tos
        self.data = data      # the message bytes exactly as they arrived
        self.login = login    # the account that authenticated
        self.tls = tls        # it came over TLS (after STARTTLS)

    def __repr__(self):
        return f"Message({self.mail_from!r}, {self.rcpt_tos!r}, {self.data!r})"


class _Handler:
    def __init__(self, peer):
        self.peer = peer

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.peer.refuse_at == "rcpt":
            return "550 5.1.1 Mailbox unavailable"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.peer.refuse_at == "data":
            return "554 5.6.0 Message refused"
        login = session.auth_data if session.authenticated else None
        with self.peer.lock:
            self.peer.messages.append(Message(envelope.mail_from, list(envelope.rcpt_tos),
                                              bytes(envelope.original_content), login,
                                              tls=session.ssl is not None))
        return "250 Message accepted"


class _DroppingSmtp(SMTP):
    """Answers DATA with 354, reads one line of the message, then hangs up."""

    def __init__(self, peer, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.peer = peer

    async def smtp_DATA(self, arg):
        if not self.envelope.rcpt_tos:
            return await super().smtp_DATA(arg)
        await self.push("354 End data with <CR><LF>.<CR><LF>")
        await self._reader.readuntil(b"\r\n")
        with self.peer.lock:
            self.peer.dropped += 1
        self.transport.close()


class _Controller(Controller):
    def __init__(self, peer, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.peer = peer

    def factory(self):
        if self.peer.drop_in_data:
            return _DroppingSmtp(self.peer, self.handler, **self.SMTP_kwargs)
        return super().factory()


class SmtpPeer:
    def __init__(self, login=TEST_LOGIN, password=TEST_PASSWORD, drop_in_data=False,
                 refuse_at=None, starttls=None):
        self.login = login
        self.password = password
        self.drop_in_data = drop_in_data
        self.refuse_at = refuse_at    # None, "rcpt" or "data"
        self.starttls = starttls      # None or (certificate, key)
        self.dropped = 0      # connections closed in the middle of a message
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
        tls = {"auth_require_tls": False}
        if self.starttls:
            context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
            context.load_cert_chain(*map(str, self.starttls))
            tls = {"tls_context": context, "require_starttls": True, "auth_require_tls": True}
        self._controller = _Controller(
            self, _Handler(self), hostname="127.0.0.1", port=self.port,
            authenticator=self._authenticate, auth_required=False, decode_data=False, **tls)
        self._controller.start()
        return self

    def stop(self):
        if self._controller is not None:
            self._controller.stop()
            self._controller = None

    @property
    def url(self):
        return f"smtp://127.0.0.1:{self.port}"


class MutePeer:
    """A loopback server that accepts every connection and never answers."""

    def __init__(self):
        self.accepted = 0
        self._sock = None
        self._thread = None
        self._open = []
        self._stopping = threading.Event()

    def start(self):
        self._sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._sock.bind(("127.0.0.1", 0))
        self._sock.listen(8)
        self._sock.settimeout(0.2)
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()
        return self

    def _serve(self):
        while not self._stopping.is_set():
            try:
                conn, _ = self._sock.accept()
            except OSError:
                continue
            self._open.append(conn)
            self.accepted += 1

    def stop(self):
        self._stopping.set()
        if self._thread is not None:
            self._thread.join(timeout=10)
        for conn in self._open:
            conn.close()
        if self._sock is not None:
            self._sock.close()

    @property
    def url(self):
        return f"smtp://127.0.0.1:{self._sock.getsockname()[1]}"


if __name__ == "__main__":
    import time

    peer = SmtpPeer().start()
    print(peer.port, flush=True)
    try:
        while True:
            time.sleep(1)
    finally:
        peer.stop()
