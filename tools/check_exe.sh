#!/usr/bin/env bash
# Checks the built installer image: PE32 (or PE32+ for the 64-bit check
# build), only DLLs that ship with Windows imported, and the four resources
# the entry relies on (manifest, icon group 107 with 16..256 px, version
# 1.3.4.1, "ZIP" 133).
set -euo pipefail
exe=$1 objdump=$2 expect=$3   # expect: PE32 or PE32+
fail() { echo "check_exe: $*" >&2; exit 1; }

file -b "$exe" | grep -q "^$expect executable" || fail "not a $expect image: $(file -b "$exe")"

allowed='^(kernel32|user32|gdi32|gdiplus|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|msimg32|winmm|wininet|winhttp|ws2_32|bcrypt|version|netapi32|iphlpapi|msvcrt|crypt32|wintrust|imm32|uxtheme|setupapi|userenv|secur32|wtsapi32|api-ms-win-[a-z0-9-]+)\.dll$'
imports=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || fail "no import table found"
while read -r dll; do
  echo "$dll" | grep -Eq "$allowed" || fail "imports a non-system DLL: $dll"
done <<< "$imports"

listing=$(wrestool -l "$exe")
echo "$listing" | grep -q -- "--type=24 " || fail "no manifest"
echo "$listing" | grep -q -- "--type=14 --name=107 " || fail "no icon group 107"
echo "$listing" | grep -q -- "--type=16 " || fail "no version resource"
echo "$listing" | grep -q -- "--type='ZIP' --name=133 " || fail "no ZIP 133 resource"

manifest=$(wrestool -x -R --type=24 "$exe")
echo "$manifest" | grep -q 'level="requireAdministrator"' || fail "manifest does not require administrator"
echo "$manifest" | grep -q 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' || fail "no common controls 6 dependency"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
wrestool -x --type=14 --name=107 -o "$tmp/app.ico" "$exe" 2>/dev/null || wrestool -x -R --type=14 --name=107 -o "$tmp/app.ico" "$exe"
sizes=$(icotool -l "$tmp/app.ico" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | tr '\n' ' ')
[ "$(echo $sizes | cut -d' ' -f1)" = 16 ] && [ "$(echo $sizes | awk '{print $NF}')" = 256 ] || fail "icon sizes: $sizes"

wrestool -x -R --type=16 "$exe" > "$tmp/version.bin"
# VS_FIXEDFILEINFO: signature FEEF04BD, then file version MS/LS words.
python3 - "$tmp/version.bin" <<'PY' || fail "file version is not 1.3.4.1"
import struct, sys
data = open(sys.argv[1], "rb").read()
i = data.find(struct.pack("<I", 0xFEEF04BD))
ms, ls = struct.unpack_from("<II", data, i + 8)
sys.exit(0 if (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF) == (1, 3, 4, 1) else 1)
PY

wrestool -x -R --type=ZIP --name=133 "$exe" > "$tmp/archive.zip"
python3 - "$tmp/archive.zip" <<'PY' || fail "ZIP 133 is not an archive of deflated files with directory entries"
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
infos = z.infolist()
files = [i for i in infos if not i.filename.endswith("/")]
dirs = [i for i in infos if i.filename.endswith("/")]
ok = files and all(i.compress_type == zipfile.ZIP_DEFLATED for i in files)
# Every folder a file sits in has its own entry.
names = {i.filename for i in dirs}
for f in files:
    parts = f.filename.split("/")[:-1]
    for k in range(1, len(parts) + 1):
        ok = ok and ("/".join(parts[:k]) + "/") in names
sys.exit(0 if ok else 1)
PY
echo "check_exe: $exe ok ($(echo $imports | tr '\n' ' '))"
