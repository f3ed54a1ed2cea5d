# SPDX-License-Identifier: GPL-3.0-or-later
"""Where a workload's runs write: a RAM file system (tmpfs, /dev/shm), so that the disk's
write-back does not blur the timing of many small files, or the disk itself."""
import os

SHM = "/dev/shm"
PAGE = 4096
SPARE = 64 << 20  # bytes left free for everything else that uses the RAM file system


def needed_bytes(sizes):
    """What one run's output takes on tmpfs: whole pages per file, and some room to spare."""
    used = sum(-(-size // PAGE) * PAGE + PAGE for size in sizes)  # plus one page of metadata
    return used + used // 10 + SPARE


def choose(kind, sizes, disk_root, shm=SHM):
    """(folder under which each run makes its own folder, "tmpfs" or "disk", note).

    kind "tmpfs" falls back to the disk, with a note that says why, when `shm` is missing or
    has too little room or too few free inodes for one run's files."""
    if kind != "tmpfs":
        return disk_root, "disk", ""
    need = needed_bytes(sizes)
    try:
        stat = os.statvfs(shm)
    except OSError:
        return disk_root, "disk", f"{shm} is missing"
    if not os.access(shm, os.W_OK | os.X_OK):
        return disk_root, "disk", f"{shm} is not writable"
    free = stat.f_bavail * stat.f_frsize
    if free < need:
        return disk_root, "disk", (f"{shm} has {free >> 20} MiB free, the workload needs "
                                   f"{need >> 20} MiB")
    # tmpfs counts inodes too (f_files 0: no limit); a file and its folders take one each.
    if stat.f_files and stat.f_favail < 2 * len(sizes) + 100:
        return disk_root, "disk", (f"{shm} has {stat.f_favail} free inodes, the workload needs "
                                   f"{2 * len(sizes) + 100}")
    return shm, "tmpfs", ""
