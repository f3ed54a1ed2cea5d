#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The soak proves nothing if the proxy's faults do not happen as drawn: each fault
is checked here over real loopback sockets against a small backend."""

import os
import socket
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from chaos_proxy import ChaosProxy, Plan  # noqa: E402

BODY = bytes(range(256)) * 800  # 200 KiB
HEADER = b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % len(BODY)
REPLY = HEADER + BODY
TIMEOUT_MS = 300


class Backend:
    """Answers every request with REPLY and closes; counts the connections."""

    def __init__(self):
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(16)
        self.sock.settimeout(0.2)
        self.accepted = 0
        self.stopping = False
        self.thread = threading.Thread(target=self._loop, daemon=True)
        self.thread.start()

    def _loop(self):
        while not self.stopping:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                continue
            self.accepted += 1
            threading.Thread(target=self._answer, args=(conn,), daemon=True).start()

    @staticmethod
    def _answer(conn):
        conn.settimeout(5)
        try:
            data = b""
            while b"\r\n\r\n" not in data:
                chunk = conn.recv(4096)
                if not chunk:
                    return
                data += chunk
            conn.sendall(REPLY)
        except OSError:
            pass
        finally:
            conn.close()

    def stop(self):
        self.stopping = True
        self.thread.join(2)
        self.sock.close()


def seed_where(fault, test=lambda plan: True):
    """A seed whose first connection gets `fault` and passes `test`."""
    for seed in range(1, 5000):
        plan = Plan(seed, 0, {fault: 1}, TIMEOUT_MS)
        if test(plan):
            return seed
    raise AssertionError("no such seed")


def fetch(port, wait=5.0):
    """GET through the proxy; returns (bytes, how it ended: "eof", "reset" or "silent")."""
    s = socket.create_connection(("127.0.0.1", port))
    s.settimeout(wait)
    got = b""
    try:
        s.sendall(b"GET /f HTTP/1.0\r\nHost: x\r\n\r\n")
        while True:
            chunk = s.recv(65536)
            if not chunk:
                return got, "eof"
            got += chunk
    except ConnectionResetError:
        return got, "reset"
    except BrokenPipeError:
        return got, "reset"
    except socket.timeout:
        return got, "silent"
    finally:
        s.close()


class ProxyTest(unittest.TestCase):
    def setUp(self):
        self.backend = Backend()
        self.proxies = []

    def tearDown(self):
        for p in self.proxies:
            p.stop()
        self.backend.stop()

    def proxy(self, fault, seed):
        p = ChaosProxy(("127.0.0.1", self.backend.sock.getsockname()[1]), seed, TIMEOUT_MS, {fault: 1})
        self.proxies.append(p.start())
        return p

    def test_cut_points_fall_in_the_header_and_the_body(self):
        offsets = []
        for n in range(2000):
            plan = Plan(7, n, {"cut_close": 1}, TIMEOUT_MS)
            offsets.append(plan.cut_offset(len(HEADER), len(REPLY)))
        self.assertTrue(all(0 <= o <= len(REPLY) for o in offsets))
        self.assertGreater(sum(1 for o in offsets if o == 0), 50)
        self.assertGreater(sum(1 for o in offsets if 0 < o < len(HEADER)), 200)
        self.assertGreater(sum(1 for o in offsets if o > len(REPLY) // 2), 500)

    def test_clean_faults_deliver_every_byte(self):
        for fault, seed in (
            ("pass", 1),
            ("split", seed_where("split", lambda p: p.piece_max <= 4)),
            ("split", seed_where("split", lambda p: p.piece_max > 30000)),
            ("delay", 1),
        ):
            with self.subTest(fault=fault, seed=seed):
                p = self.proxy(fault, seed)
                got, end = fetch(p.port)
                self.assertEqual(end, "eof")
                self.assertEqual(got, REPLY)

    def test_cuts_end_with_a_prefix(self):
        for fault, ending in (("cut_close", "eof"), ("cut_reset", "reset")):
            for where in ("header", "body"):
                seed = seed_where(
                    fault,
                    lambda p: p.piece_max == 0
                    and not p.cut_at_zero
                    and p.cut_in_header == (where == "header")
                    and 0.05 < p.cut_share < 0.95,
                )
                with self.subTest(fault=fault, where=where):
                    p = self.proxy(fault, seed)
                    got, end = fetch(p.port)
                    self.assertEqual(end, ending)
                    expected = p.plan(0).cut_offset(len(HEADER), len(REPLY))
                    self.assertLess(expected, len(REPLY))
                    # A reset may drop bytes the client had not read yet; never adds any.
                    self.assertTrue(REPLY.startswith(got))
                    if fault == "cut_close":
                        self.assertEqual(len(got), expected)
                    self.assertEqual(where == "header", len(got) < len(HEADER))

    def test_stall_stays_silent_until_the_client_leaves(self):
        seed = seed_where("stall", lambda p: not p.cut_at_zero and not p.cut_in_header and p.cut_share < 0.9)
        p = self.proxy("stall", seed)
        got, end = fetch(p.port, wait=1.0)
        self.assertEqual(end, "silent")
        self.assertTrue(REPLY.startswith(got) and len(HEADER) < len(got) < len(REPLY))
        deadline = time.monotonic() + 3
        while p.open_connections() and time.monotonic() < deadline:
            time.sleep(0.02)
        self.assertEqual(p.open_connections(), 0)
        self.assertEqual(p.records[0]["outcome"], "stall")

    def test_refuse_resets_before_the_upstream_is_asked(self):
        p = self.proxy("refuse", 1)
        got, end = fetch(p.port)
        self.assertEqual(got, b"")
        self.assertEqual(end, "reset")
        self.assertEqual(self.backend.accepted, 0)
        deadline = time.monotonic() + 3
        while not p.records and time.monotonic() < deadline:
            time.sleep(0.02)
        self.assertEqual(p.records[0]["requests"][0]["path"], "/f")


if __name__ == "__main__":
    unittest.main()
