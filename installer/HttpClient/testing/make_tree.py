#!/usr/bin/env python3
"""Writes the file tree that nginx serves in the HTTP tests.

Binary files hold the test pattern (byte i is pattern_byte(i)), which the
Windows tests compute themselves, so nothing has to be read back from here.
"""
import argparse
import os


_LOW = bytes(((l * 31) + ((l >> 8) * 7)) & 0xFF for l in range(1 << 16))
_SHIFT = [bytes((b + hi) & 0xFF for b in range(256)) for hi in range(256)]


def pattern(size, start=0):
    """Bytes start..start+size-1 of the pattern: (31*i + 7*(i>>8) + (i>>16)) mod 256.

    Not periodic at 256, so an offset or a dropped block shows up. Since
    31 * 65536 is a multiple of 256, each 64 KiB block is the low block
    shifted by its block number, which keeps big files quick to write.
    """
    out = bytearray()
    i = start
    end = start + size
    while i < end:
        block, low = i >> 16, i & 0xFFFF
        n = min(end - i, (1 << 16) - low)
        out += _LOW[low:low + n].translate(_SHIFT[block & 0xFF])
        i += n
    return bytes(out)


def write_pattern_file(path, size):
    chunk = 1 << 20
    with open(path, "wb") as out:
        done = 0
        while done < size:
            n = min(chunk, size - done)
            out.write(pattern(n, done))
            done += n


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("--big-mib", type=int, default=0,
                        help="also write big.bin of this many MiB (benchmark)")
    args = parser.parse_args()
    os.makedirs(os.path.join(args.root, "dir", "sub"), exist_ok=True)
    with open(os.path.join(args.root, "small.txt"), "wb") as out:
        out.write(b"hello from nginx\n")
    with open(os.path.join(args.root, "empty.bin"), "wb"):
        pass
    write_pattern_file(os.path.join(args.root, "pattern-1m.bin"), 1 << 20)
    write_pattern_file(os.path.join(args.root, "pattern-3000.bin"), 3000)
    write_pattern_file(os.path.join(args.root, "pattern-9m.bin"), 9 << 20)
    with open(os.path.join(args.root, "dir", "sub", "page.txt"), "wb") as out:
        out.write(b"nested page\n")
    if args.big_mib:
        write_pattern_file(os.path.join(args.root, "big.bin"), args.big_mib << 20)


if __name__ == "__main__":
    main()
