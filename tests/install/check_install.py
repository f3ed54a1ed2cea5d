#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""check_install.py CMAKE BUILD_DIR: installs a build into a temporary prefix and checks
it the way the desktop and man see it."""
import gzip
import re
import shutil
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

failures = []


def check(ok, message):
    if not ok:
        failures.append(message)
    return ok


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, timeout=60)


def main(cmake, build):
    with tempfile.TemporaryDirectory(prefix="harvex-install-") as tmp:
        prefix = Path(tmp) / "usr"
        share = prefix / "share"
        result = run(cmake, "--install", build, "--prefix", str(prefix))
        if not check(result.returncode == 0, f"cmake --install failed: {result.stderr}"):
            return

        # Programs: the window and the terminal one; never tests, gallery or artwork tool.
        bins = sorted(p.name for p in (prefix / "bin").iterdir())
        check(bins == ["harvex", "harvex-cli"], f"bin holds {bins}")
        version = run(str(prefix / "bin" / "harvex-cli"), "--version").stdout.strip()
        check(re.fullmatch(r"\d+\.\d+", version), f"installed harvex-cli --version: {version!r}")
        usage = run(str(prefix / "bin" / "harvex-cli"), "--help").stdout

        # The desktop entry: valid, and naming a program and an icon that are installed.
        desktop = share / "applications" / "harvex.desktop"
        if check(desktop.is_file(), f"no {desktop}"):
            validator = shutil.which("desktop-file-validate")
            if check(validator, "desktop-file-validate not found (package desktop-file-utils)"):
                result = run(validator, str(desktop))
                report = (result.stdout + result.stderr).strip()
                check(result.returncode == 0 and "error" not in report and "warning" not in report,
                      f"desktop-file-validate: {report}")
            text = desktop.read_text(encoding="utf-8").split("\n[")[0]
            entry = dict(re.findall(r"^(\w+)=(.*)$", text, re.M))
            command = entry.get("Exec", "").split(" ")[0]
            check(command in bins, f"Exec names {command!r}, not an installed program")
            icon = entry.get("Icon", "")
            check(icon and "/" not in icon and not icon.endswith(".png"),
                  f"Icon should be a theme name, is {icon!r}")
            for size in (16, 22, 24, 32, 48, 64, 128, 256):
                png = share / "icons" / "hicolor" / f"{size}x{size}" / "apps" / f"{icon}.png"
                head = png.read_bytes()[:24] if png.is_file() else b""
                check(head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR"
                      and struct.unpack(">II", head[16:24]) == (size, size),
                      f"{png} missing or not {size} x {size}")

        # Manual pages: compressed, with the version; harvex-cli's describes all of --help.
        for page in ("harvex", "harvex-cli"):
            path = share / "man" / "man1" / f"{page}.1.gz"
            if check(path.is_file(), f"no {path}"):
                text = gzip.decompress(path.read_bytes()).decode("utf-8").replace("\\-", "-")
                title = re.search(r"^\.TH .*$", text, re.M)
                check(title and f'"Harvex {version}"' in title[0], f"{page}: title line {title}")
                if page == "harvex-cli":
                    options = sorted(set(re.findall(r"(?<![\w-])--[a-z0-9][a-z0-9-]*", usage)))
                    check(len(options) > 20, f"--help lists only {options}")
                    missing = [o for o in options
                               if not re.search(re.escape(o) + r"(?![\w-])", text)]
                    check(not missing, f"harvex-cli.1 does not describe {missing}")

        for name in ("LICENSE", "README.md"):
            check((share / "doc" / "harvex" / name).is_file(), f"no doc/harvex/{name}")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
    for failure in failures:
        print("FAIL:", failure)
    sys.exit(1 if failures else 0)
