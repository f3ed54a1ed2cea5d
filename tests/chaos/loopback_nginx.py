# SPDX-License-Identifier: GPL-3.0-or-later
"""Debian's nginx on a free loopback port, serving a folder, for soak runs.

Files under /nolm/ are served without Last-Modified; files in folders whose names
start with "c" come chunked to HTTP/1.1 requests (RFC 9112 §7.1). No content coding
is applied, so every reply body is the file's bytes.
"""

import os
import shutil
import socket
import subprocess
import time

NGINX_PATHS = ("/usr/sbin/nginx", "/sbin/nginx", "/usr/local/sbin/nginx", "/usr/bin/nginx")


def unused_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# A filter that may change the body drops Content-Length, so nginx sends files under
# /lm/c* and /nolm/c* chunked to HTTP/1.1 (and close-delimited to HTTP/1.0) and ignores
# Range there. The string never occurs in the files: the bytes are unchanged.
CHUNKED = "sub_filter_types *; sub_filter 'q9Zx!unmatched#7Kw' 'x';"


def _config(folder, port):
    user = "user root;\n" if os.geteuid() == 0 else ""
    text = f"""daemon off;
master_process off;
worker_processes 1;
{user}pid {folder}/nginx.pid;
error_log {folder}/error.log warn;
events {{ worker_connections 1024; }}
http {{
    access_log off;
    client_body_temp_path {folder}/tmp/body;
    proxy_temp_path {folder}/tmp/proxy;
    fastcgi_temp_path {folder}/tmp/fastcgi;
    uwsgi_temp_path {folder}/tmp/uwsgi;
    scgi_temp_path {folder}/tmp/scgi;
    types {{ text/plain txt; text/html html; }}
    default_type application/octet-stream;
    sendfile on;
    keepalive_timeout 15;
    gzip off;
    server {{
        listen 127.0.0.1:{port};
        server_name localhost;
        root {folder}/www;
        location /nolm/ {{ add_header Last-Modified ""; }}
        location ^~ /lm/c {{ {CHUNKED} sub_filter_last_modified on; }}
        location ^~ /nolm/c {{ {CHUNKED} add_header Last-Modified ""; }}
    }}
}}
"""
    return text.replace("{CHUNKED}", CHUNKED)


class Nginx:
    def __init__(self, folder):
        self.folder = folder
        self.doc_root = os.path.join(folder, "www")
        self.port = 0
        self._process = None

    def start(self):
        binary = next((p for p in NGINX_PATHS if os.access(p, os.X_OK)), None) or shutil.which("nginx")
        if not binary:
            raise RuntimeError("nginx is not installed (scripts/test.sh installs it)")
        os.makedirs(self.doc_root, exist_ok=True)
        os.makedirs(os.path.join(self.folder, "tmp"), exist_ok=True)
        conf = os.path.join(self.folder, "nginx.conf")
        log = os.path.join(self.folder, "error.log")
        # A free port can be taken before nginx binds it: try a few.
        for _ in range(5):
            self.port = unused_port()
            with open(conf, "w") as f:
                f.write(_config(self.folder, self.port))
            self._process = subprocess.Popen(
                [binary, "-p", self.folder, "-c", conf, "-e", log],
                stdout=subprocess.DEVNULL,
                stderr=subprocess.STDOUT,
            )
            deadline = time.monotonic() + 5
            while time.monotonic() < deadline and self._process.poll() is None:
                try:
                    socket.create_connection(("127.0.0.1", self.port), timeout=0.2).close()
                    return self
                except OSError:
                    time.sleep(0.02)
            self.stop()
            text = open(log).read() if os.path.exists(log) else ""
            if "Address already in use" not in text:
                raise RuntimeError("nginx failed: " + text)
        raise RuntimeError("nginx found no free port")

    def stop(self):
        if self._process and self._process.poll() is None:
            self._process.terminate()
            try:
                self._process.wait(5)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait(2)
        self._process = None
