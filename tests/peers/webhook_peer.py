"""A loopback HTTP server standing in for a chat or incident webhook.

It records the method, path, headers and body of every request and answers
with the status it was given (200 unless told); WebhookPeer(delay=2) waits
that many seconds before it answers.
"""
import http.server
import time

from http_peer import LoopbackHttpPeer


class _Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        peer = self.server.peer
        with peer.lock:
            peer.requests.append({"method": self.command, "path": self.path,
                                  "headers": dict(self.headers.items()), "body": body})
        time.sleep(peer.delay)
        answer = b"ok" if peer.status < 400 else b"refused"
        self.send_response(peer.status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)

    do_PUT = do_GET = do_POST

    def log_message(self, *args):
        pass


class WebhookPeer(LoopbackHttpPeer):
    handler = _Handler

    def __init__(self, status=200, delay=0.0):
        super().__init__(status)
        self.delay = delay

    def url(self, path="/hooks/T0/B0/s3cret"):
        return f"http://127.0.0.1:{self._server.server_address[1]}{path}"
