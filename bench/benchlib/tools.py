# SPDX-License-Identifier: GPL-3.0-or-later
"""The downloaders under test: how each is told to fetch a list of URLs into a fresh folder,
and where each puts the file of a URL path."""
import os
import shutil
import urllib.parse

PARALLEL = 20


class Tool:
    """One way of running a downloader. `command` writes whatever list or config file the tool
    needs into `work` and returns argv, trusting the CA certificate `ca` (a PEM file) when given;
    `environment` adds the variables the tool needs; `place` maps a URL path to the file the
    tool writes for a server `host` ("host:port")."""

    name = ""
    binary = ""

    def __init__(self, binary=None, missing=None):
        self.path = binary or shutil.which(self.binary)
        self.missing = missing or f"{self.binary} not found"

    def available(self):
        return bool(self.path) and os.access(self.path, os.X_OK)

    def command(self, urls, rels, out_dir, work, ca=None):
        raise NotImplementedError

    def environment(self, env, ca=None):
        return env

    def place(self, out_dir, host, rel):
        return os.path.join(out_dir, rel)


def host_of(url):
    """The "host:port" part of a URL, as the tools see the server."""
    return urllib.parse.urlsplit(url).netloc


def _write_lines(path, lines):
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    return path


class HarvexFast(Tool):
    """harvex-cli asked for speed: 20 slots, HTTP/1.1 keep-alive connections kept between
    jobs, and no start delay."""

    name = "harvex"
    binary = "harvex-cli"
    options = ["--http11", "--keep-alive", "--connect-at-once", "--reuse-connections"]

    def command(self, urls, rels, out_dir, work, ca=None):
        listing = _write_lines(os.path.join(work, "urls.txt"), urls)
        # Like the peers' --cacert: the CA file alone is trusted.
        trust = ["--ca-certificate", ca] if ca else []
        return [self.path, "-q", "-j", str(PARALLEL), *self.options, *trust, "-d", out_dir,
                "-i", listing]

    def place(self, out_dir, host, rel):
        # "Replicate Url path": <base>/<host part>/<url path>, with the ":" of host:port
        # encoded as "%3A" like every other forbidden character of a local name.
        return os.path.join(out_dir, host.replace(":", "%3A"), rel)


class HarvexPaced(HarvexFast):
    """harvex-cli with its default pacing: two one-second ticks before every job's connection
    and one connection per job."""

    name = "harvex-paced"
    options = []


class Curl(Tool):
    name = "curl"
    binary = "curl"

    def command(self, urls, rels, out_dir, work, ca=None):
        lines = []
        for url, rel in zip(urls, rels):
            lines += [f'url = "{url}"', f'output = "{rel}"']
        config = _write_lines(os.path.join(work, "curl.conf"), lines)
        # -q first: no ~/.curlrc.
        return [self.path, "-q", "--silent", "--show-error", "--fail", "--parallel",
                "--parallel-max", str(PARALLEL), "--create-dirs", "--output-dir", out_dir,
                *(["--cacert", ca] if ca else []), "-K", config]


class Wget2(Tool):
    name = "wget2"
    binary = "wget2"

    def command(self, urls, rels, out_dir, work, ca=None):
        listing = _write_lines(os.path.join(work, "urls.txt"), urls)
        # -x -nH: <dir>/<url path>, with no host folder.
        return [self.path, "--no-config", "--quiet", "--max-threads", str(PARALLEL), "-x", "-nH",
                *([f"--ca-certificate={ca}"] if ca else []), "-P", out_dir, "-i", listing]


class Aria2c(Tool):
    name = "aria2c"
    binary = "aria2c"

    def command(self, urls, rels, out_dir, work, ca=None):
        lines = []
        for url, rel in zip(urls, rels):
            lines += [url, f"  out={rel}"]
        listing = _write_lines(os.path.join(work, "aria2.txt"), lines)
        # One connection per file (-x 1 -s 1), like every other tool here.
        return [self.path, "--no-conf", "--quiet", "-j", str(PARALLEL), "-x", "1", "-s", "1",
                "--file-allocation=none", "--allow-overwrite=true",
                "--auto-file-renaming=false", "--summary-interval=0",
                *([f"--ca-certificate={ca}"] if ca else []), "-d", out_dir, "-i", listing]


PEERS = [Curl, Wget2, Aria2c]
