# SPDX-License-Identifier: GPL-3.0-or-later
"""Benchmark data: random files made once from fixed seeds, with a manifest of sizes and hashes.

The data lives in a cache folder (build/bench-data by default) and is only made again when the
manifest is missing or describes other sets; every later run reuses it.
"""
import hashlib
import json
import os
import random

KIB = 1024
MIB = 1024 * KIB
GIB = 1024 * MIB

# name: (folder, file count, file size, seed)
SETS = {
    "small": ("small", 1000, 10 * KIB, 1001),
    "medium": ("medium", 50, 2 * MIB, 1002),
    "large": ("large", 1, 1 * GIB, 1003),
}
MANIFEST = "manifest.json"
CHUNK = 16 * MIB


def file_name(set_name, index):
    folder, count, _size, _seed = SETS[set_name]
    if count == 1:
        return f"{folder}/{set_name}.bin"
    return f"{folder}/f{index:04d}.bin"


def set_files(set_name, limit=None):
    """Relative paths of a set's files in order, at most `limit` of them."""
    count = SETS[set_name][1]
    if limit is not None:
        count = min(count, limit)
    return [file_name(set_name, i) for i in range(count)]


def _describe():
    return {name: list(files) for name, files in SETS.items()}


def _write_set(root, set_name, log):
    folder, count, size, seed = SETS[set_name]
    generator = random.Random(seed)
    os.makedirs(os.path.join(root, folder), exist_ok=True)
    entries = {}
    log(f"generating {count} x {size} bytes into {os.path.join(root, folder)}")
    for index in range(count):
        rel = file_name(set_name, index)
        path = os.path.join(root, rel)
        digest = hashlib.sha256()
        with open(path + ".part", "wb") as out:
            left = size
            while left > 0:
                block = generator.randbytes(min(CHUNK, left))
                digest.update(block)
                out.write(block)
                left -= len(block)
        os.replace(path + ".part", path)
        entries[rel] = [size, digest.hexdigest()]
    return entries


def load_manifest(data_dir):
    try:
        with open(os.path.join(data_dir, MANIFEST), encoding="utf-8") as f:
            manifest = json.load(f)
    except (OSError, ValueError):
        return None
    if manifest.get("sets") != _describe():
        return None
    return manifest


def _files_present(www, manifest):
    for rel, (size, _digest) in manifest["files"].items():
        try:
            if os.path.getsize(os.path.join(www, rel)) != size:
                return False
        except OSError:
            return False
    return True


def ensure_data(data_dir, log=print):
    """Makes the data sets once; returns {relative path: (size, sha256)} and the doc root."""
    www = os.path.join(data_dir, "www")
    manifest = load_manifest(data_dir)
    if manifest is None or not _files_present(www, manifest):
        os.makedirs(www, exist_ok=True)
        files = {}
        for set_name in SETS:
            files.update(_write_set(www, set_name, log))
        manifest = {"sets": _describe(), "files": files}
        tmp = os.path.join(data_dir, MANIFEST + ".part")
        with open(tmp, "w", encoding="utf-8") as f:
            json.dump(manifest, f)
        # The manifest is written last: its presence means the data set is complete.
        os.replace(tmp, os.path.join(data_dir, MANIFEST))
    return {rel: tuple(v) for rel, v in manifest["files"].items()}, www
