# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""A loopback relay that counts what passes through it, for the benchmarks.

Relays 127.0.0.1:port to 127.0.0.1:upstream_port and counts the connections, the bytes each
way and the client's turns: the times the client speaks after the server did (or first), which
on a line protocol is one round trip each; and the IDLE commands the client sent (a client that
waits for news on IMAP sends one each time it starts waiting again) and SMTP RSET commands. Each
connection is relayed on a thread of its own until either side closes.

With a delay, what each side says reaches the other that many seconds later, as over a network
whose round trip is twice the delay (the bytes keep their order; nothing else is slowed).
"""
import queue
import selectors
import socket
import threading
import time


class CountingRelay:
    def __init__(self, upstream_port, delay=0.0):
        self.upstream = upstream_port
        self.delay = delay
        self.lock = threading.Lock()
        self.reset()
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.listener.settimeout(0.2)
        self.port = self.listener.getsockname()[1]
        self.stopping = threading.Event()
        self.threads = []
        self.acceptor = threading.Thread(target=self._accept, daemon=True)
        self.acceptor.start()

    def reset(self):
        with self.lock:
            self.counts = {"connections": 0, "client_bytes": 0, "server_bytes": 0,
                           "client_turns": 0, "idle_commands": 0, "rset_commands": 0}

    def figures(self):
        with self.lock:
            return dict(self.counts)

    def close(self):
        self.stopping.set()
        self.acceptor.join()
        for t in self.threads:
            t.join(10)
        self.listener.close()

    def _add(self, **amounts):
        with self.lock:
            for key, n in amounts.items():
                self.counts[key] += n

    def _accept(self):
        while not self.stopping.is_set():
            try:
                client, _ = self.listener.accept()
            except socket.timeout:
                continue
            self._add(connections=1)
            t = threading.Thread(target=self._relay, args=(client,), daemon=True)
            t.start()
            self.threads.append(t)

    def _relay(self, client):
        try:
            server = socket.create_connection(("127.0.0.1", self.upstream))
        except OSError:
            client.close()
            return
        for s in (client, server):
            s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        other = {client: server, server: client}
        late = {s: _Late(other[s], self.delay) for s in other} if self.delay else None
        last = None  # who spoke last
        with selectors.DefaultSelector() as sel, client, server:
            sel.register(client, selectors.EVENT_READ)
            sel.register(server, selectors.EVENT_READ)
            try:
                while not self.stopping.is_set():
                    for key, _ in sel.select(0.5):
                        data = key.fileobj.recv(1 << 16)
                        if not data:
                            return
                        if key.fileobj is client:
                            self._add(client_bytes=len(data),
                                      client_turns=int(last is not client),
                                      idle_commands=int(data.upper().endswith(b" IDLE\r\n")),
                                      rset_commands=("\r\n" + data.decode("latin-1").upper())
                                      .count("\r\nRSET\r\n"))
                        else:
                            self._add(server_bytes=len(data))
                        last = key.fileobj
                        if late:
                            late[key.fileobj].put(data)
                        else:
                            other[key.fileobj].sendall(data)
            finally:
                # What is on its way still arrives before the connection ends.
                for sender in (late or {}).values():
                    sender.close()


class _Late:
    """Sends what it is given to a socket `delay` seconds after it was given, in order."""

    def __init__(self, to, delay):
        self.to, self.delay = to, delay
        self.items = queue.Queue()
        self.thread = threading.Thread(target=self._send, daemon=True)
        self.thread.start()

    def put(self, data):
        self.items.put((time.monotonic() + self.delay, data))

    def close(self):
        self.items.put(None)
        self.thread.join(10)

    def _send(self):
        while True:
            item = self.items.get()
            if item is None:
                return
            due, data = item
            time.sleep(max(0.0, due - time.monotonic()))
            try:
                self.to.sendall(data)
            except OSError:
                return
