#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Installs a build into a temporary prefix and checks it the way the desktop and man
see it: only the two programs in bin, a desktop entry that desktop-file-validate
accepts and whose command and icon are installed, the icon in every hicolor size, and
manual pages that carry the program's version and describe every option of
`harvex-cli --help`.

    check_install.py CMAKE BUILD_DIR
"""
import gzip
import re
import shutil
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)

failures = []


def check(ok, message):
    if not ok:
        failures.append(message)
    return ok


def png_size(path):
    head = path.read_bytes()[:24]
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def desktop_entry(path):
    """The keys of the [Desktop Entry] group."""
    entry, group = {}, None
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.startswith("["):
            group = line.strip()
        elif group == "[Desktop Entry]" and "=" in line and not line.startswith("#"):
            key, value = line.split("=", 1)
            entry[key.strip()] = value.strip()
    return entry


def man_text(path):
    """The manual page's source with roff's escaped hyphens made plain."""
    return gzip.decompress(path.read_bytes()).decode("utf-8").replace("\\-", "-")


def main():
    cmake, build = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(prefix="harvex-install-") as tmp:
        prefix = Path(tmp) / "usr"
        run = subprocess.run([cmake, "--install", build, "--prefix", str(prefix)],
                             capture_output=True, text=True)
        if run.returncode != 0:
            print(run.stdout + run.stderr)
            print("FAIL: cmake --install failed")
            return 1
        share = prefix / "share"

        # Programs: the window and the terminal one; never tests, gallery or artwork tool.
        bins = sorted(p.name for p in (prefix / "bin").iterdir())
        check(bins == ["harvex", "harvex-cli"], f"bin holds {bins}")
        cli = prefix / "bin" / "harvex-cli"
        version = subprocess.run([str(cli), "--version"], capture_output=True, text=True,
                                 timeout=60).stdout.strip()
        check(re.fullmatch(r"\d+\.\d+", version), f"installed harvex-cli --version: {version!r}")
        usage = subprocess.run([str(cli), "--help"], capture_output=True, text=True,
                               timeout=60).stdout

        # The desktop entry: valid, and naming a program and an icon that are installed.
        desktop = share / "applications" / "harvex.desktop"
        if check(desktop.is_file(), f"no {desktop}"):
            validator = shutil.which("desktop-file-validate")
            if check(validator, "desktop-file-validate not found (package desktop-file-utils)"):
                result = subprocess.run([validator, str(desktop)], capture_output=True, text=True)
                report = (result.stdout + result.stderr).strip()
                check(result.returncode == 0 and "error" not in report and "warning" not in report,
                      f"desktop-file-validate: {report}")
            entry = desktop_entry(desktop)
            command = entry.get("Exec", "").split(" ")[0]
            check(command in bins, f"Exec names {command!r}, not an installed program")
            icon = entry.get("Icon", "")
            check(icon and "/" not in icon and not icon.endswith(".png"),
                  f"Icon should be a theme name, is {icon!r}")
            for size in ICON_SIZES:
                png = share / "icons" / "hicolor" / f"{size}x{size}" / "apps" / f"{icon}.png"
                check(png.is_file() and png_size(png) == (size, size),
                      f"{png} missing or not {size} x {size}")

        # Manual pages: compressed, with the version, and every option of --help described.
        man1 = share / "man" / "man1"
        for page in ("harvex.1.gz", "harvex-cli.1.gz"):
            path = man1 / page
            if check(path.is_file(), f"no {path}"):
                text = man_text(path)
                title = next((line for line in text.splitlines() if line.startswith(".TH ")), "")
                check(f'"Harvex {version}"' in title, f"{page}: title line {title!r}")
        if (man1 / "harvex-cli.1.gz").is_file():
            text = man_text(man1 / "harvex-cli.1.gz")
            options = sorted(set(re.findall(r"(?<![\w-])--[a-z0-9][a-z0-9-]*", usage)))
            check(len(options) > 20, f"--help lists only {options}")
            missing = [o for o in options if not re.search(re.escape(o) + r"(?![\w-])", text)]
            check(not missing, f"harvex-cli.1 does not describe {missing}")

        doc = share / "doc" / "harvex"
        for name in ("LICENSE", "README.md"):
            check((doc / name).is_file(), f"no {doc / name}")

    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
