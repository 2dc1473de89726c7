"""A loopback HTTP server standing in for the Telegram Bot API.

It records the path and query of every request exactly as sent and answers
200 with a small JSON body, as sendMessage does; BotApiPeer(status=401)
answers every request with that HTTP status and the Bot API's error body.
"""
import http.server

from http_peer import LoopbackHttpPeer


class _Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self._answer()

    def do_POST(self):
        self._answer()

    def _answer(self):
        with self.server.peer.lock:
            self.server.peer.requests.append(self.path)
        status = self.server.peer.status
        if status == 200:
            body = b'{"ok":true,"result":{"message_id":1}}'
        else:
            body = b'{"ok":false,"error_code":%d,"description":"refused"}' % status
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class BotApiPeer(LoopbackHttpPeer):
    handler = _Handler
    # requests: the path and query of each request, as sent

    @property
    def base(self):
        return f"http://127.0.0.1:{self._server.server_address[1]}"
