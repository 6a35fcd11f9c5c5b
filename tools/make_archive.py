#!/usr/bin/env python3
"""Packs the resource archive: every file deflated, directory entries present.

Files of --overlay replace or add to those of --source, so a vendor (or the
demo) builds its own settings and branding without touching the tree.
Entries are sorted and carry one fixed time stamp, so builds repeat.
"""
import argparse
import os
import sys
import zipfile


def collect(root):
    found = {}
    for folder, dirs, files in os.walk(root):
        dirs.sort()
        rel_folder = os.path.relpath(folder, root)
        if rel_folder != ".":
            found.setdefault(rel_folder.replace(os.sep, "/") + "/", None)
        for name in sorted(files):
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, root).replace(os.sep, "/")
            found[rel] = path
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--output", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--overlay", default="")
    # Members are looked up by their path from the program's folder, so they
    # live under the resource root "resources/".
    parser.add_argument("--prefix", default="resources/")
    args = parser.parse_args()

    entries = collect(args.source)
    if args.overlay:
        if not os.path.isdir(args.overlay):
            sys.exit(f"make_archive: overlay folder {args.overlay} does not exist")
        entries.update(collect(args.overlay))

    prefix = args.prefix
    if prefix:
        entries = {prefix + name: path for name, path in entries.items()}
        parts = prefix.rstrip("/").split("/")
        for k in range(1, len(parts) + 1):
            entries.setdefault("/".join(parts[:k]) + "/", None)

    tmp = args.output + ".tmp"
    with zipfile.ZipFile(tmp, "w", compression=zipfile.ZIP_DEFLATED, compresslevel=9) as zf:
        for name in sorted(entries):
            path = entries[name]
            if path is None:
                info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
                info.external_attr = 0o40755 << 16 | 0x10
                zf.writestr(info, b"")
                continue
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o100644 << 16
            with open(path, "rb") as f:
                zf.writestr(info, f.read(), compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
    os.replace(tmp, args.output)


if __name__ == "__main__":
    main()
