#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A fault-injecting TCP proxy for loopback soak runs of an HTTP client.

Every accepted connection gets one fault, drawn from (seed, connection number)
alone, so a run with the same seed and the same order of connections replays:

  pass       the reply goes through unchanged
  split      the reply goes through in writes of 1 byte to 64 KiB
  delay      the first byte is held back (for less than the client's timeout)
  cut_close  the reply is cut after a random byte with an orderly close (FIN)
  cut_reset  the reply is cut after a random byte with a reset (RST)
  stall      the reply stops after a random byte and the connection stays open
             and silent until the client gives up (longer than any timeout)
  refuse     the connection is reset as soon as it is accepted, before a byte

Any fault but pass may also split its writes. The cut point is drawn from the
reply's real length (Content-Length, or a size hint for chunked replies), with
a share of cuts inside the header. Only loopback addresses are used.
"""

import json
import random
import re
import select
import socket
import struct
import threading
import time

FAULTS = ("pass", "split", "delay", "cut_close", "cut_reset", "stall", "refuse")
DEFAULT_WEIGHTS = {
    "pass": 30,
    "split": 14,
    "delay": 10,
    "cut_close": 14,
    "cut_reset": 10,
    "stall": 10,
    "refuse": 12,
}
# The longest any connection is held open (a stall normally ends when the client
# gives up); keeps every loop of the proxy bounded in time.
MAX_HOLD_SECONDS = 600
HEADER_LIMIT = 64 * 1024
SPLIT_SPAN = 64 * 1024


class Plan:
    """What one connection suffers; drawn only from (seed, conn)."""

    def __init__(self, seed, conn, weights, timeout_ms):
        rng = random.Random(f"{seed}/{conn}")
        names = [f for f in FAULTS if weights.get(f, 0) > 0]
        self.conn = conn
        self.fault = rng.choices(names, [weights[f] for f in names])[0]
        # Largest write: 0 keeps the upstream's own reads. Log-uniform so that
        # tiny pieces (cuts inside tokens) are as likely as large ones.
        split = self.fault == "split" or (self.fault != "pass" and rng.random() < 0.3)
        self.piece_max = int(2 ** rng.uniform(0, 16)) if split else 0
        self.delay_ms = int(rng.uniform(0, 0.8) * timeout_ms) if self.fault == "delay" else 0
        # Where a cut or stall falls: inside the header, at the very start, or
        # anywhere in the reply (as a share of its length).
        where = rng.random()
        self.cut_in_header = where < 0.2
        self.cut_at_zero = 0.2 <= where < 0.28
        self.cut_share = rng.random()
        self.rng_seed = rng.getrandbits(32)

    def cuts(self):
        return self.fault in ("cut_close", "cut_reset", "stall")

    def cut_offset(self, header_len, total):
        """The byte count after which the cut falls, from the reply's sizes."""
        if self.cut_at_zero:
            return 0
        if self.cut_in_header:
            return int(self.cut_share * header_len)
        return int(self.cut_share * max(total, 1))

    def describe(self):
        return {
            "conn": self.conn,
            "fault": self.fault,
            "piece_max": self.piece_max,
            "delay_ms": self.delay_ms,
        }


def _reset(sock):
    """Abortive close: SO_LINGER 0 makes close() send RST (RFC 9293 §3.10.7.1)."""
    try:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    except OSError:
        pass
    sock.close()


def _close(sock):
    try:
        sock.shutdown(socket.SHUT_WR)
    except OSError:
        pass
    sock.close()


_REQUEST_LINE = re.compile(rb"^([A-Z]+) (\S+) (HTTP/\d\.\d)\r?$")
_CONTENT_LENGTH = re.compile(rb"\r\ncontent-length:[ \t]*(\d+)", re.IGNORECASE)


class ChaosProxy:
    """Listens on 127.0.0.1 and forwards each connection to `upstream` with a fault."""

    def __init__(self, upstream, seed, timeout_ms, weights=None, size_hint=None, port=0):
        self.upstream = upstream
        self.seed = seed
        self.timeout_ms = timeout_ms
        self.weights = dict(weights or DEFAULT_WEIGHTS)
        # path -> expected body size, for replies that announce no length (chunked).
        self.size_hint = size_hint or {}
        self.records = []
        self._lock = threading.Lock()
        self._stop = threading.Event()
        self._count = 0
        self._threads = []
        self._sockets = set()
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._listener.bind(("127.0.0.1", port))
        self._listener.listen(128)
        self.port = self._listener.getsockname()[1]
        self._acceptor = threading.Thread(target=self._accept_loop, daemon=True)

    def start(self):
        self._acceptor.start()
        return self

    def stop(self):
        self._stop.set()
        try:
            self._listener.close()
        except OSError:
            pass
        self._acceptor.join(5)
        # Wake every thread blocked on a socket so that none outlives the proxy.
        with self._lock:
            sockets = list(self._sockets)
        for s in sockets:
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        for t in list(self._threads):
            t.join(5)

    def open_connections(self):
        return sum(1 for t in self._threads if t.is_alive())

    def plan(self, conn):
        return Plan(self.seed, conn, self.weights, self.timeout_ms)

    def write_log(self, path):
        with self._lock, open(path, "w") as f:
            for r in sorted(self.records, key=lambda r: r["conn"]):
                f.write(json.dumps(r) + "\n")

    def _accept_loop(self):
        self._listener.settimeout(0.2)
        while not self._stop.is_set():
            try:
                client, _ = self._listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            with self._lock:
                conn = self._count
                self._count += 1
            t = threading.Thread(target=self._serve, args=(client, conn), daemon=True)
            self._threads = [x for x in self._threads if x.is_alive()]
            self._threads.append(t)
            t.start()

    def _serve(self, client, conn):
        plan = self.plan(conn)
        record = plan.describe()
        record.update(requests=[], sent=0, received=0, outcome="", start=time.monotonic())
        self._track(client)
        try:
            self._run(client, plan, record)
        except OSError as e:
            record["outcome"] = record["outcome"] or f"client-error {e.errno}"
        finally:
            client.close()
            self._untrack(client)
            record["seconds"] = round(time.monotonic() - record.pop("start"), 3)
            with self._lock:
                self.records.append(record)

    def _track(self, sock):
        with self._lock:
            self._sockets.add(sock)

    def _untrack(self, sock):
        with self._lock:
            self._sockets.discard(sock)

    def _run(self, client, plan, record):
        if plan.fault == "refuse":
            # A glance at the request (sent right after connecting), only to name the
            # URL in the record; the client sees a reset before any reply byte.
            deadline = time.monotonic() + 1.0
            while not record["requests"] and time.monotonic() < deadline:
                ready, _, _ = select.select([client], [], [], 0.05)
                try:
                    peeked = client.recv(65536, socket.MSG_PEEK) if ready else b"-"
                except OSError:
                    break
                if not peeked:
                    break
                self._record_requests(peeked, record)
            record["outcome"] = "refused"
            _reset(client)
            return
        try:
            upstream = socket.create_connection(self.upstream, timeout=10)
        except OSError as e:
            record["outcome"] = f"upstream-error {e.errno}"
            _reset(client)
            return
        upstream.settimeout(None)
        self._track(upstream)
        client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        client_gone = threading.Event()
        pump = threading.Thread(
            target=self._pump_requests, args=(client, upstream, record, client_gone), daemon=True
        )
        pump.start()
        ending = "close"
        try:
            ending = self._forward_reply(client, upstream, plan, record, client_gone)
        finally:
            self._untrack(upstream)
            upstream.close()
            # A close() does not wake a thread blocked in recv() on the same socket (and
            # would not send the RST while it is blocked): shut the reading side first.
            try:
                client.shutdown(socket.SHUT_RD)
            except OSError:
                pass
            pump.join(5)
            if ending == "reset":
                _reset(client)
            else:
                _close(client)

    def _pump_requests(self, client, upstream, record, client_gone):
        """Client to upstream, unchanged; records each request's header."""
        pending = b""
        try:
            while True:
                data = client.recv(65536)
                if not data:
                    break
                pending = self._record_requests(pending + data, record)
                if len(pending) > HEADER_LIMIT:
                    pending = b""
                upstream.sendall(data)
        except OSError:
            pass
        client_gone.set()
        try:
            upstream.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    @staticmethod
    def _record_requests(data, record):
        """Records each whole request header in data; returns the unfinished rest."""
        while b"\r\n\r\n" in data:
            head, data = data.split(b"\r\n\r\n", 1)
            m = _REQUEST_LINE.match(head.split(b"\r\n")[0])
            record["requests"].append(
                {
                    "method": m.group(1).decode() if m else "",
                    "path": m.group(2).decode("latin-1") if m else "",
                    "version": m.group(3).decode() if m else "",
                    "header": head.decode("latin-1"),
                }
            )
        return data

    def _forward_reply(self, client, upstream, plan, record, client_gone):
        """Upstream to client with the plan's fault; returns how to end: "close" or "reset"."""
        rng = random.Random(plan.rng_seed)
        pending = b""
        cut = 0 if plan.cuts() and plan.cut_at_zero else None
        header_len = None
        upstream_done = False
        first = True
        pieces = 0
        while True:
            if cut is None and plan.cuts() and not upstream_done:
                # Learn the reply's size before deciding where to cut it.
                end = pending.find(b"\r\n\r\n")
                if end >= 0 or len(pending) > HEADER_LIMIT:
                    header_len = end + 4 if end >= 0 else len(pending)
                    cut = plan.cut_offset(header_len, header_len + self._body_size(pending, record))
            if cut is not None and record["sent"] >= cut:
                return self._cut(plan, record, cut, client_gone)
            if pending and (cut is not None or not plan.cuts() or upstream_done):
                if first and plan.delay_ms:
                    if self._stop.wait(plan.delay_ms / 1000):
                        return "close"
                first = False
                n = len(pending)
                if plan.piece_max:
                    # Tiny pieces over the header and the first 64 KiB (where the
                    # size lines and boundaries that matter are), larger ones later
                    # so that a 4 MiB reply does not take millions of writes.
                    largest = plan.piece_max if record["sent"] < SPLIT_SPAN else max(plan.piece_max, 65536)
                    n = min(n, rng.randint(1, largest))
                    pieces += 1
                if cut is not None:
                    n = min(n, cut - record["sent"])
                client.sendall(pending[:n])
                pending = pending[n:]
                record["sent"] += n
                if plan.piece_max and (pieces <= 48 or pieces % 64 == 0):
                    # A short pause so that the client reads this piece on its own.
                    time.sleep(0.001)
                continue
            if upstream_done:
                record["outcome"] = "complete"
                return "close"
            data = upstream.recv(262144)
            if not data:
                upstream_done = True
                if cut is None and plan.cuts():
                    cut = plan.cut_offset(header_len or len(pending), record["received"])
                continue
            record["received"] += len(data)
            pending += data

    def _body_size(self, pending, record):
        m = _CONTENT_LENGTH.search(pending[: pending.find(b"\r\n\r\n") + 2])
        if m:
            return int(m.group(1))
        path = record["requests"][0]["path"] if record["requests"] else ""
        return self.size_hint.get(path, 256 * 1024)

    def _cut(self, plan, record, cut, client_gone):
        record["cut"] = cut
        if plan.fault == "cut_close":
            record["outcome"] = "cut-close"
            return "close"
        if plan.fault == "cut_reset":
            record["outcome"] = "cut-reset"
            return "reset"
        # Stall: silent, the connection open, until the client gives up.
        record["outcome"] = "stall"
        deadline = time.monotonic() + MAX_HOLD_SECONDS
        while not client_gone.wait(0.2):
            if self._stop.is_set() or time.monotonic() > deadline:
                record["outcome"] = "stall-unended"
                return "close"
        return "close"

