# SPDX-License-Identifier: GPL-3.0-or-later
"""Benchmark data: random files made once from fixed seeds, with a manifest of sizes and hashes.

The data lives in a cache folder (build/bench-data by default). A set is made when a run first
needs it and again only when the manifest describes it otherwise; every later run reuses it.
"""
import hashlib
import json
import os
import random

KIB = 1024
MIB = 1024 * KIB
GIB = 1024 * MIB

# name: (folder, file count, file size, seed[, files per subfolder])
SETS = {
    "small": ("small", 1000, 10 * KIB, 1001),
    "medium": ("medium", 50, 2 * MIB, 1002),
    "large": ("large", 1, 1 * GIB, 1003),
    "scale": ("scale", 32000, 1 * KIB, 1004, 1000),
}
MANIFEST = "manifest.json"
CHUNK = 16 * MIB


def file_name(set_name, index):
    folder, count = SETS[set_name][:2]
    if count == 1:
        return f"{folder}/{set_name}.bin"
    if len(SETS[set_name]) > 4:
        # Spread over subfolders: scale/d00/f000.bin ... scale/d31/f999.bin.
        per_folder = SETS[set_name][4]
        return f"{folder}/d{index // per_folder:02d}/f{index % per_folder:03d}.bin"
    return f"{folder}/f{index:04d}.bin"


def set_files(set_name, limit=None):
    """Relative paths of a set's files in order, at most `limit` of them."""
    count = SETS[set_name][1]
    if limit is not None:
        count = min(count, limit)
    return [file_name(set_name, i) for i in range(count)]


def _write_set(root, set_name, log):
    folder, count, size, seed = SETS[set_name][:4]
    generator = random.Random(seed)
    entries = {}
    log(f"generating {count} x {size} bytes into {os.path.join(root, folder)}")
    for index in range(count):
        rel = file_name(set_name, index)
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
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
    """The manifest as {"sets": {name: description}, "files": {rel: [size, sha256]}}."""
    try:
        with open(os.path.join(data_dir, MANIFEST), encoding="utf-8") as f:
            manifest = json.load(f)
        if isinstance(manifest.get("sets"), dict) and isinstance(manifest.get("files"), dict):
            return manifest
    except (OSError, ValueError, AttributeError):
        pass
    return {"sets": {}, "files": {}}


def _set_present(www, manifest, set_name):
    if manifest["sets"].get(set_name) != list(SETS[set_name]):
        return False
    for rel in set_files(set_name):
        entry = manifest["files"].get(rel)
        try:
            if entry is None or os.path.getsize(os.path.join(www, rel)) != entry[0]:
                return False
        except OSError:
            return False
    return True


def ensure_data(data_dir, set_names=None, log=print):
    """Makes the named sets (default: all) where they are missing; returns
    {relative path: (size, sha256)} of every known file and the doc root."""
    www = os.path.join(data_dir, "www")
    manifest = load_manifest(data_dir)
    missing = [n for n in (set_names or SETS) if not _set_present(www, manifest, n)]
    for set_name in missing:
        # Forget the set first: an interrupted run leaves it missing, not half described.
        folder = SETS[set_name][0] + "/"
        manifest["sets"].pop(set_name, None)
        manifest["files"] = {r: v for r, v in manifest["files"].items()
                             if not r.startswith(folder)}
        _save(data_dir, manifest)
        manifest["files"].update(_write_set(www, set_name, log))
        manifest["sets"][set_name] = list(SETS[set_name])
        # The manifest is written after the files: a described set is a complete one.
        _save(data_dir, manifest)
    return {rel: tuple(v) for rel, v in manifest["files"].items()}, www


def _save(data_dir, manifest):
    os.makedirs(data_dir, exist_ok=True)
    tmp = os.path.join(data_dir, MANIFEST + ".part")
    with open(tmp, "w", encoding="utf-8") as f:
        json.dump(manifest, f)
    os.replace(tmp, os.path.join(data_dir, MANIFEST))
