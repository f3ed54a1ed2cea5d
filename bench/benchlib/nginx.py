# SPDX-License-Identifier: GPL-3.0-or-later
"""A loopback nginx for the benchmarks: one process, sendfile, long keep-alive, no gzip; with
`tls`, a second server block serves the same root over HTTPS (TLS 1.2 and 1.3, resumption
by cache and tickets) with a certificate from a throwaway CA."""
import os
import shutil
import socket
import subprocess
import time

from .tls import make_certificates

CONFIG = """daemon off;
master_process off;
worker_processes 1;
{user}pid {dir}/nginx.pid;
error_log {dir}/error.log warn;
events {{ worker_connections 4096; }}
http {{
    access_log off;
    client_body_temp_path {dir}/tmp/body;
    proxy_temp_path {dir}/tmp/proxy;
    fastcgi_temp_path {dir}/tmp/fastcgi;
    uwsgi_temp_path {dir}/tmp/uwsgi;
    scgi_temp_path {dir}/tmp/scgi;
    default_type application/octet-stream;
    sendfile on;
    tcp_nopush on;
    gzip off;
    keepalive_timeout 65;
    keepalive_requests 100000;
    server {{
        listen 127.0.0.1:{port} backlog=1024;
        server_name localhost;
        root {root};
    }}
{tls_server}}}
"""

TLS_SERVER = """    server {{
        listen 127.0.0.1:{port} ssl backlog=1024;
        server_name localhost;
        root {root};
        ssl_certificate {cert};
        ssl_certificate_key {key};
        ssl_protocols TLSv1.2 TLSv1.3;
        ssl_session_cache shared:SSL:10m;
        ssl_session_tickets on;
    }}
"""


def unused_loopback_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _accepts(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.2):
            return True
    except OSError:
        return False


class Nginx:
    """Serves `root` on 127.0.0.1:port (and over HTTPS on 127.0.0.1:tls_port with `tls`) until
    stop(); the state, certificates included, lives in `run_dir`."""

    def __init__(self, root, run_dir, tls=False):
        self.root = os.path.abspath(root)
        self.dir = os.path.abspath(run_dir)
        self.tls = tls
        self.port = 0
        self.tls_port = 0
        self.ca = None  # the CA certificate (PEM) the clients trust, with `tls`
        self.process = None

    def url(self, rel):
        return f"http://127.0.0.1:{self.port}/{rel}"

    def https_url(self, rel):
        return f"https://localhost:{self.tls_port}/{rel}"

    def start(self):
        binary = shutil.which("nginx") or next(
            (p for p in ("/usr/sbin/nginx", "/sbin/nginx") if os.path.exists(p)), None)
        if binary is None:
            raise RuntimeError("nginx is not installed (harvex_install_deps bench installs it)")
        os.makedirs(os.path.join(self.dir, "tmp"), exist_ok=True)
        user = "user root;\n" if os.geteuid() == 0 else ""
        log = os.path.join(self.dir, "error.log")
        tls_server = ""
        if self.tls:
            self.ca, cert, key = make_certificates(os.path.join(self.dir, "tls"))
        # A free port can be taken before nginx binds it: try a few.
        for _attempt in range(5):
            self.port = unused_loopback_port()
            if self.tls:
                self.tls_port = self.port
                while self.tls_port == self.port:
                    self.tls_port = unused_loopback_port()
                tls_server = TLS_SERVER.format(port=self.tls_port, root=self.root, cert=cert,
                                               key=key)
            conf = os.path.join(self.dir, "nginx.conf")
            with open(conf, "w", encoding="utf-8") as f:
                f.write(CONFIG.format(user=user, dir=self.dir, port=self.port, root=self.root,
                                      tls_server=tls_server))
            self.process = subprocess.Popen(
                [binary, "-p", self.dir, "-c", conf, "-e", log],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.monotonic() + 5
            while time.monotonic() < deadline and self.process.poll() is None:
                if _accepts(self.port) and (not self.tls or _accepts(self.tls_port)):
                    return
                time.sleep(0.02)
            self.stop()
            text = open(log, encoding="utf-8", errors="replace").read() if os.path.exists(log) else ""
            if "Address already in use" not in text:
                raise RuntimeError("nginx failed to start: " + text.strip()[-2000:])
        raise RuntimeError("nginx found no free port")

    def stop(self):
        if self.process is None or self.process.poll() is not None:
            return
        self.process.terminate()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait(5)
