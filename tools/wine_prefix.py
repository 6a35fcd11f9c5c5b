#!/usr/bin/env python3
"""Prepares the test prefix so that every run draws and crashes alike.

Fonts: Wine's GDI+ accepts only some of the fonts GDI uses, and which face
GDI picks for the skin's faces depends on what the machine has. The skin's
faces are therefore substituted by two families GDI+ accepts, copied into
the prefix and registered: "Noto Sans CJK SC" for the Chinese-named default
face (Latin, Greek, Cyrillic, Vietnamese and the CJK scripts) and "DejaVu
Sans" for the Latin-named ones (Latin, Greek, Cyrillic, Vietnamese, Arabic,
Hebrew). Each links to fonts for the scripts it lacks, as Windows links its
UI fonts, so every script of the string tables draws real glyphs.

Crashes: Wine's debugger prints the backtrace and ends the process instead
of waiting on its crash dialog, which nobody answers under a test.

Usage: wine_prefix.py PREFIX REGFILE. Copies the fonts into PREFIX and
writes the registry settings to REGFILE for "regedit /S".
"""
import os
import shutil
import sys

FONT_DIRS = ["/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/opentype/noto",
             "/usr/share/fonts/truetype/noto"]

# (file, registered name)
FONTS = [
    ("DejaVuSans.ttf", "DejaVu Sans (TrueType)"),
    ("DejaVuSans-Bold.ttf", "DejaVu Sans Bold (TrueType)"),
    ("NotoSansCJK-Regular.ttc", "Noto Sans CJK SC & Noto Sans CJK TC & Noto Sans CJK JP & Noto Sans CJK KR (TrueType)"),
    ("NotoSansCJK-Bold.ttc", "Noto Sans CJK SC Bold & Noto Sans CJK TC Bold & Noto Sans CJK JP Bold & Noto Sans CJK KR Bold (TrueType)"),
    ("NotoSansArabic-Regular.ttf", "Noto Sans Arabic (TrueType)"),
    ("NotoSansArabic-Bold.ttf", "Noto Sans Arabic Bold (TrueType)"),
    ("NotoSansHebrew-Regular.ttf", "Noto Sans Hebrew (TrueType)"),
    ("NotoSansHebrew-Bold.ttf", "Noto Sans Hebrew Bold (TrueType)"),
    ("NotoSansDevanagari-Regular.ttf", "Noto Sans Devanagari (TrueType)"),
    ("NotoSansDevanagari-Bold.ttf", "Noto Sans Devanagari Bold (TrueType)"),
    ("NotoSansBengali-Regular.ttf", "Noto Sans Bengali (TrueType)"),
    ("NotoSansBengali-Bold.ttf", "Noto Sans Bengali Bold (TrueType)"),
    ("NotoSansMalayalam-Regular.ttf", "Noto Sans Malayalam (TrueType)"),
    ("NotoSansMalayalam-Bold.ttf", "Noto Sans Malayalam Bold (TrueType)"),
]

CJK = "Noto Sans CJK SC"
LATIN = "DejaVu Sans"

SUBSTITUTES = {
    "\u5fae\u8f6f\u96c5\u9ed1": CJK,  # Microsoft YaHei, the default face
    "Microsoft YaHei": CJK,
    "\u65b0\u5b8b\u4f53": CJK,  # NSimSun, the default face before Vista
    "NSimSun": CJK,
    "Segoe UI": LATIN,  # the right-to-left face
    "Tahoma": LATIN,
    "Arial": LATIN,
    "MS Shell Dlg": LATIN,
    "MS Shell Dlg 2": LATIN,
    "Microsoft Sans Serif": LATIN,
}

INDIC = ["NotoSansDevanagari-Regular.ttf,Noto Sans Devanagari",
         "NotoSansBengali-Regular.ttf,Noto Sans Bengali",
         "NotoSansMalayalam-Regular.ttf,Noto Sans Malayalam"]
LINKS = {
    CJK: ["DejaVuSans.ttf,DejaVu Sans", "NotoSansArabic-Regular.ttf,Noto Sans Arabic",
          "NotoSansHebrew-Regular.ttf,Noto Sans Hebrew"] + INDIC,
    LATIN: ["NotoSansCJK-Regular.ttc,Noto Sans CJK SC"] + INDIC,
}

CURRENT_VERSION = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion"


def find_font(name):
    for folder in FONT_DIRS:
        path = os.path.join(folder, name)
        if os.path.exists(path):
            return path
    sys.exit(f"wine_prefix: font {name} not found in {', '.join(FONT_DIRS)}; run tools/setup.sh")


def quote(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def multi_string(items):
    data = ("\0".join(items) + "\0\0").encode("utf-16-le")
    return "hex(7):" + ",".join(f"{b:02x}" for b in data)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    prefix, reg_file = sys.argv[1], sys.argv[2]
    fonts_dir = os.path.join(prefix, "drive_c", "windows", "Fonts")
    os.makedirs(fonts_dir, exist_ok=True)
    for name, _ in FONTS:
        shutil.copyfile(find_font(name), os.path.join(fonts_dir, name))

    lines = ["Windows Registry Editor Version 5.00", ""]
    lines.append(f"[{CURRENT_VERSION}\\Fonts]")
    lines += [f"{quote(label)}={quote(name)}" for name, label in FONTS]
    lines += ["", f"[{CURRENT_VERSION}\\FontSubstitutes]"]
    lines += [f"{quote(face)}={quote(target)}" for face, target in SUBSTITUTES.items()]
    lines += ["", f"[{CURRENT_VERSION}\\FontLink\\SystemLink]"]
    lines += [f"{quote(face)}={multi_string(links)}" for face, links in LINKS.items()]
    lines += ["", f"[{CURRENT_VERSION}\\AeDebug]", '"Debugger"="winedbg --auto %ld %ld"',
              '"Auto"="1"', "", "[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]",
              '"ShowCrashDialog"=dword:00000000', ""]
    with open(reg_file, "wb") as out:
        out.write(b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le"))


if __name__ == "__main__":
    main()
