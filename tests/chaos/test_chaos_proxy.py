#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Each fault of the soak's proxy, over real loopback sockets against a small backend."""

import os
import socket
import socketserver
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


class Backend(socketserver.ThreadingTCPServer):
    """Answers every request with REPLY and closes; counts the connections."""

    daemon_threads = True
    accepted = 0

    class Handler(socketserver.StreamRequestHandler):
        def handle(self):
            self.server.accepted += 1
            while self.rfile.readline() not in (b"\r\n", b""):
                pass
            self.wfile.write(REPLY)

    def handle_error(self, request, client_address):
        pass  # a client the proxy cut off


def seed_where(fault, test=lambda plan: True):
    """A seed whose first connection gets `fault` and passes `test`."""
    return next(s for s in range(1, 5000) if test(Plan(s, 0, {fault: 1}, TIMEOUT_MS)))


def fetch(port, wait=5.0):
    """GET through the proxy; returns (bytes, how it ended: "eof", "reset" or "silent")."""
    with socket.create_connection(("127.0.0.1", port)) as s:
        s.settimeout(wait)
        got = b""
        try:
            s.sendall(b"GET /f HTTP/1.0\r\nHost: x\r\n\r\n")
            while chunk := s.recv(65536):
                got += chunk
            return got, "eof"
        except (ConnectionResetError, BrokenPipeError):
            return got, "reset"
        except socket.timeout:
            return got, "silent"


class ProxyTest(unittest.TestCase):
    def setUp(self):
        self.backend = Backend(("127.0.0.1", 0), Backend.Handler)
        self.addCleanup(self.backend.server_close)
        self.addCleanup(self.backend.shutdown)
        threading.Thread(target=self.backend.serve_forever, args=(0.02,), daemon=True).start()

    def proxy(self, fault, seed):
        p = ChaosProxy(("127.0.0.1", self.backend.server_address[1]), seed, TIMEOUT_MS, {fault: 1})
        self.addCleanup(p.stop)
        return p.start()

    def test_cut_points_fall_in_the_header_and_the_body(self):
        offsets = [Plan(7, n, {"cut_close": 1}, TIMEOUT_MS).cut_offset(len(HEADER), len(REPLY))
                   for n in range(2000)]
        self.assertTrue(all(0 <= o <= len(REPLY) for o in offsets))
        self.assertGreater(offsets.count(0), 50)
        self.assertGreater(sum(1 for o in offsets if 0 < o < len(HEADER)), 200)
        self.assertGreater(sum(1 for o in offsets if o > len(REPLY) // 2), 500)

    def test_clean_faults_deliver_every_byte(self):
        for fault, seed in (("pass", 1), ("delay", 1),
                            ("split", seed_where("split", lambda p: p.piece_max <= 4)),
                            ("split", seed_where("split", lambda p: p.piece_max > 30000))):
            with self.subTest(fault=fault, seed=seed):
                self.assertEqual(fetch(self.proxy(fault, seed).port), (REPLY, "eof"))

    def test_cuts_end_with_a_prefix(self):
        for fault, ending in (("cut_close", "eof"), ("cut_reset", "reset")):
            for in_header in (True, False):
                seed = seed_where(fault, lambda p: p.piece_max == 0 and not p.cut_at_zero
                                  and p.cut_in_header == in_header and 0.05 < p.cut_share < 0.95)
                with self.subTest(fault=fault, in_header=in_header):
                    p = self.proxy(fault, seed)
                    got, end = fetch(p.port)
                    self.assertEqual(end, ending)
                    expected = p.plan(0).cut_offset(len(HEADER), len(REPLY))
                    self.assertLess(expected, len(REPLY))
                    # A reset may drop bytes the client had not read yet; never adds any.
                    self.assertTrue(REPLY.startswith(got))
                    if fault == "cut_close":
                        self.assertEqual(len(got), expected)
                    self.assertEqual(in_header, len(got) < len(HEADER))

    def test_stall_and_refuse(self):
        # A stall stays silent until the client leaves; a refusal resets before any upstream.
        p = self.proxy("stall", seed_where("stall", lambda p: not p.cut_at_zero
                                           and not p.cut_in_header and p.cut_share < 0.9))
        got, end = fetch(p.port, wait=1.0)
        self.assertEqual(end, "silent")
        self.assertTrue(REPLY.startswith(got) and len(HEADER) < len(got) < len(REPLY))
        r = self.proxy("refuse", 1)
        self.assertEqual(fetch(r.port), (b"", "reset"))
        self.assertEqual(self.backend.accepted, 1)
        deadline = time.monotonic() + 3
        while (p.open_connections() or not r.records) and time.monotonic() < deadline:
            time.sleep(0.02)
        self.assertEqual(p.open_connections(), 0)
        self.assertEqual(p.records[0]["outcome"], "stall")
        self.assertEqual(r.records[0]["requests"][0]["path"], "/f")


if __name__ == "__main__":
    unittest.main()
