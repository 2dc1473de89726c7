"""A loopback HTTP server on a free port, serving from a thread of its own:
the common part of the Bot API and webhook stand-ins. A subclass names its
request handler class in `handler`; the handler finds the peer as
`self.server.peer`."""
import http.server
import threading


class LoopbackHttpPeer:
    handler = None

    def __init__(self, status=200):
        self.status = status
        self.requests = []
        self.lock = threading.Lock()
        self._server = None
        self._thread = None

    def start(self):
        self._server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), self.handler)
        self._server.peer = self
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()
        return self

    def stop(self):
        if self._server is not None:
            self._server.shutdown()
            self._server.server_close()
            self._thread.join(timeout=10)
            self._server = None
