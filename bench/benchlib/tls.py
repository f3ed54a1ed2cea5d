# SPDX-License-Identifier: GPL-3.0-or-later
"""A throwaway certificate authority and a server certificate for "localhost" and 127.0.0.1,
made with the openssl command line for the loopback nginx."""
import os
import subprocess

SERVER_EXTENSIONS = """basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost, IP:127.0.0.1
"""


def _openssl(folder, *argv):
    done = subprocess.run(["openssl", *argv], cwd=folder, capture_output=True, text=True,
                          stdin=subprocess.DEVNULL)
    if done.returncode != 0:
        raise RuntimeError(f"openssl {argv[0]} failed: {done.stderr.strip()[-1000:]}")


def make_certificates(folder):
    """Writes ca.pem, server.pem and server.key into `folder`; returns their paths."""
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "server.ext"), "w", encoding="utf-8") as f:
        f.write(SERVER_EXTENSIONS)
    key = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    _openssl(folder, "req", "-x509", *key, "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
             "-subj", "/CN=Harvex bench CA", "-addext", "basicConstraints=critical,CA:TRUE",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    _openssl(folder, "req", "-new", *key, "-keyout", "server.key", "-out", "server.csr",
             "-subj", "/CN=localhost")
    _openssl(folder, "x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
             "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "server.ext")
    return tuple(os.path.join(folder, name) for name in ("ca.pem", "server.pem", "server.key"))
