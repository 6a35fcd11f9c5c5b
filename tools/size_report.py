#!/usr/bin/env python3
"""The shipped executable's size and what it is made of.

  size_report.py --exe VarnoSetup.exe --map VarnoSetup.map [--limit BYTES] [--top N]

Reads the linker's map of the executable's link (GNU ld) and adds up the
input sections that land in the image (code, data, read-only data, unwind
tables, resources), by contributor: each source file of the project, each
toolchain library as a whole (libstdc++, the MinGW runtime, zlib, ...), each
compiled resource. Prints the file's size, the image's sections and the N
largest contributors; exits 1 when the file is larger than --limit.
"""
import argparse
import collections
import os
import re
import sys

IMAGE_SECTIONS = (".text", ".data", ".rdata", ".eh_frame", ".rsrc", ".idata", ".CRT", ".tls", ".pdata", ".xdata")
OUTPUT_SECTION = re.compile(r"^(\.[\w$.]+)(?:\s|$)")
INPUT_LINE = re.compile(r"^ (\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
INPUT_NAME_ONLY = re.compile(r"^ (\S+)$")
CONTINUATION = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")


def contributor(path):
    """A source file of ours, a library of the toolchain, or a resource."""
    member = re.match(r"(.*)\((.*)\)$", path)
    if member:
        library, obj = member.groups()
        name = os.path.basename(library)
        if "/CMakeFiles/" in library or library.startswith(("base/", "ui/", "installer/")):
            return re.sub(r"\.obj$", "", obj)  # ui/libui.a(control.cpp.obj) -> control.cpp
        return name
    name = os.path.basename(path)
    if name.endswith(".res"):
        return name[:-4] + " (resource)"
    return re.sub(r"\.obj$", "", name)


def read_map(path):
    sizes = collections.Counter()
    sections = collections.Counter()
    output, pending = None, None
    with open(path, errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            m = OUTPUT_SECTION.match(line)
            if m:
                output, pending = m.group(1), None
                continue
            if output not in IMAGE_SECTIONS:
                continue
            m = INPUT_LINE.match(line)
            if m:
                size = int(m.group(3), 16)
                if size:
                    sizes[contributor(m.group(4))] += size
                    sections[output] += size
                pending = None
                continue
            m = INPUT_NAME_ONLY.match(line)
            if m:
                pending = m.group(1)
                continue
            m = CONTINUATION.match(line)
            if m and pending:
                size = int(m.group(2), 16)
                if size:
                    sizes[contributor(m.group(3))] += size
                    sections[output] += size
                pending = None
    return sizes, sections


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--map", required=True)
    parser.add_argument("--limit", type=int, default=0)
    parser.add_argument("--top", type=int, default=10)
    args = parser.parse_args()
    size = os.path.getsize(args.exe)
    sizes, sections = read_map(args.map)
    if not sizes:
        print("size_report: no image sections in %s" % args.map)
        return 1
    print("%s: %d bytes (%.2f MiB)%s" % (os.path.basename(args.exe), size, size / 1048576.0,
                                        ", limit %d" % args.limit if args.limit else ""))
    print("sections: " + ", ".join("%s %d" % kv for kv in sections.most_common()))
    print("the %d largest contributors of %d:" % (args.top, len(sizes)))
    for name, n in sizes.most_common(args.top):
        print("  %8d  %5.1f%%  %s" % (n, 100.0 * n / size, name))
    if args.limit and size > args.limit:
        print("size_report: FAIL %d bytes is over the limit of %d" % (size, args.limit))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
