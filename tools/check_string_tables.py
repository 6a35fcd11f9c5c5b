#!/usr/bin/env python3
"""Checks the 25 string tables resources/lang/<Language>/gdstrings.ini.

Every file is read the way the installer reads it (UTF-8, LF-terminated lines,
trimming, first "=" splits key and value, keys with ";" ignored, later keys
win, only backslash-r / backslash-n unescaped) and then held to the rules the
wizard relies on: the same 23 keys in the English order, the same printf
placeholders, the two agreement links, the web addresses, and text that
survives the reader unchanged.

Usage: check_string_tables.py [--root REPO] [--fonts]
  --fonts  also ask fontconfig (fc-list) whether installed Noto fonts cover
           every character.
Exits 0 when every table passes, 1 on any fault.
"""
import argparse
import os
import re
import subprocess
import sys
import unicodedata
import urllib.parse

# Catalogue key -> language code, in catalogue order.
LANGUAGES = [
    ("Arabic", "ar"), ("Bengali", "bn"), ("Chinese", "cn"), ("ChineseTW", "tw"),
    ("Czech", "cs"), ("Dutch", "nl"), ("English", "en"), ("French", "fr"),
    ("German", "de"), ("Greek", "el"), ("Hebrew", "he"), ("Hindi", "hi"),
    ("Indonesian", "id"), ("Italian", "it"), ("Japanese", "ja"), ("Korean", "ko"),
    ("Malayalam", "ml"), ("Polish", "pl"), ("Portuguese", "pt"), ("Russian", "ru"),
    ("Slovak", "sk"), ("Spanish", "es"), ("Turkish", "tr"), ("Ukrainian", "uk"),
    ("Vietnamese", "vi"),
]
RTL = {"Arabic", "Hebrew"}
# Sites served under a language prefix ("/de/eula/"); all others use the bare paths.
PREFIXED = {"Arabic", "Bengali", "German", "Spanish", "French", "Italian",
            "Portuguese", "Russian", "Turkish", "Ukrainian"}

NBSP = "\u00a0"
ENGLISH = [
    ("STRID_HOMEPAGE_INSTALL", "Install Now"),
    ("STRID_HOMEPAGE_AGREEMENT", 'By clicking "Install Now", you agree to the '
     "{link:eula}EULA{/link} and {link:terms}Service Agreements{/link}."),
    ("STRID_HOMEPAGE_CUSTOM", "Custom Install"),
    ("STRID_HOMEPAGE_LANGUAGE_OPTIONS", "Language Options:"),
    ("STRID_HOMEPAGE_INSTALL_PATH", "Installation Path:"),
    ("STRID_HOMEPAGE_INVALID_PATH", "Invalid" + NBSP + "installation path."),
    ("STRID_HOMEPAGE_ASSOC_DEFAULT", "Set as Default PDF Viewer"),
    ("STRID_DOWNLOADPAGE_CAROUSEL0", "One-Stop PDF Editor and Reader"),
    ("STRID_DOWNLOADPAGE_CAROUSEL1", "Powerful, Free & Easy-to-Use PDF Tools"),
    ("STRID_DOWNLOADPAGE_CAROUSEL2", "Works Across All Desktop Platforms"),
    ("STRID_DOWNLOADPAGE_INSTALLING", "Installing, please wait..."),
    ("STRID_DOWNLOADPAGE_INSTALL_TIP", "Please do not go offline or restart your computer"),
    ("STRID_DOWNLOADPAGE_HIDE", "Hide"),
    ("STRID_ENDPAGE_COMPLETE", "Installation Completed!"),
    ("STRID_ENDPAGE_START", "Start Now"),
    ("STRID_BOX_QUIT", "The installation is not completed yet! Are you sure you want to quit?"),
    ("STRID_BOX_DISK_NOT_ENOUGH", "There is not enough disk space to complete the "
     "installation. (%d MB of disk space is required.)"),
    ("STRID_BOX_NETWORK_ERROR", "Network error. Please check your network connection and try again."),
    ("STRID_BOX_UNKOWN_ERROR", "Something went wrong during installation. Please try again, "
     "or you can click Ignore to manually access the full setup package from the official website."),
    ("STRID_BOX_APP_RUNNING", "%s is currently running, please exit the program first."),
    ("URLID_EULA", None),
    ("URLID_TERMS", None),
    ("URLID_INSTALL", None),
]
KEYS = [k for k, _ in ENGLISH]
QUERY_SITE = "utm_source=varno_win&utm_medium=seo_client&utm_campaign=varno_client"
QUERY_INSTALL = "utm_source=varno_win&utm_medium=seo_client&utm_campaign=install_varno_win"
URLS = {  # key -> (English path, query)
    "URLID_EULA": ("/eula/", QUERY_SITE),
    "URLID_TERMS": ("/terms/", QUERY_SITE),
    "URLID_INSTALL": ("/feedback/install-varno-windows/", QUERY_INSTALL),
}
SLUG_PATH = re.compile(r"^/(?:[a-z0-9]+(?:-[a-z0-9]+)*/)+$")

# Letters every text of a non-Latin table must contain (catches a table filed
# under the wrong folder or left untranslated).
SCRIPTS = {
    "Arabic": [(0x0600, 0x06FF)], "Bengali": [(0x0980, 0x09FF)],
    "Chinese": [(0x4E00, 0x9FFF)], "ChineseTW": [(0x4E00, 0x9FFF)],
    "Greek": [(0x0370, 0x03FF)], "Hebrew": [(0x0590, 0x05FF)],
    "Hindi": [(0x0900, 0x097F)], "Japanese": [(0x3040, 0x30FF), (0x4E00, 0x9FFF)],
    "Korean": [(0xAC00, 0xD7A3)], "Malayalam": [(0x0D00, 0x0D7F)],
    "Russian": [(0x0400, 0x04FF)], "Ukrainian": [(0x0400, 0x04FF)],
}

# printf conversions as the wizard's formatting sees them; a lone "%" counts too.
PRINTF = re.compile(r"%(?:%|[-+ #0]*(?:\*|\d+)?(?:\.(?:\*|\d+))?"
                    r"(?:hh|h|ll|l|L|q|j|z|t|I64|I32|I)?[diouxXeEfgGaAcCsSpn]|.?)", re.S)

MAX_PHYSICAL_LINE = 4095  # the file reader's buffer holds 4095 bytes plus NUL


def trim(text):
    """The reader's trim: blanks and codes below 30 go at both ends."""
    def trimmed(c):
        return c == " " or ord(c) < 30
    start, end = 0, len(text)
    while start < end and trimmed(text[start]):
        start += 1
    while end > start and trimmed(text[end - 1]):
        end -= 1
    return text[start:end]


def unescape(value):
    return value.replace("\\r", "\r").replace("\\n", "\n")


class Table:
    def __init__(self, name):
        self.name = name
        self.entries = []        # (key, raw value, physical line text) in file order
        self.values = {}         # key -> unescaped value, last one wins
        self.faults = []

    def fault(self, message):
        self.faults.append(message)


def parse(path, name):
    """Parses one file like the installer does and notes grammar hazards."""
    table = Table(name)
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        table.fault("cannot read: %s" % e)
        return table
    if b"\0" in data:
        table.fault("contains a NUL byte, which ends a line when read from the archive")
    if data and not data.endswith(b"\n"):
        table.fault("last line has no LF")
    has_bom = data.startswith(b"\xef\xbb\xbf")
    first_line = True
    for number, raw in enumerate(data.split(b"\n"), 1):
        if len(raw) + 1 > MAX_PHYSICAL_LINE:
            table.fault("line %d is %d bytes; the file reader splits lines over %d bytes"
                        % (number, len(raw) + 1, MAX_PHYSICAL_LINE))
        try:
            text = raw.decode("utf-8", errors="strict")
        except UnicodeDecodeError as e:
            table.fault("line %d is not valid UTF-8 (%s)" % (number, e.reason))
            continue
        line = trim(text)
        if not line:
            continue
        is_first, first_line = first_line, False
        if "=" not in line:
            if not (line.startswith(";") or (line.startswith("[") and line.endswith("]"))):
                table.fault("line %d is neither an entry nor a comment and is ignored: %r"
                            % (number, line[:40]))
            continue
        pos = line.index("=")
        key, value = trim(line[:pos]), trim(line[pos + 1:])
        if ";" in key:
            if not line.startswith(";"):
                table.fault("line %d: key %r contains ';', the entry is ignored" % (number, key))
            continue
        if is_first and has_bom:
            table.fault("the byte order mark reaches key %r; start the file with a comment"
                        % key)
        if text.rstrip("\r") != key + "=" + value:
            table.fault("line %d: blanks or control characters around key or value are "
                        "trimmed by the reader; write KEY=value" % number)
        if key in table.values:
            table.fault("key %s occurs twice (line %d replaces the earlier value)" % (key, number))
        table.entries.append((key, value, text))
        table.values[key] = unescape(value)
    return table


def link_spans(text):
    """Splits hyperlink markup like the agreement control; returns
    [(name or None, text)] and whether any markup fell back to plain text."""
    spans, rest, broken = [], text, False
    while rest:
        start = rest.find("{link:")
        if start < 0:
            spans.append((None, rest))
            break
        if start:
            spans.append((None, rest[:start]))
        close = rest.find("}", start + 6)
        if close < 0:
            spans.append((None, rest[start:]))
            broken = True
            break
        end = rest.find("{/link}", close + 1)
        if end < 0:
            spans.append((None, rest[start:]))
            broken = True
            break
        spans.append((rest[start + 6:close], rest[close + 1:end]))
        rest = rest[end + 7:]
    return spans, broken


def check_text_safety(table, key, value):
    for c in value:
        cat = unicodedata.category(c)
        if cat == "Cc" or c in "\u2028\u2029":
            table.fault("%s contains control character U+%04X" % (key, ord(c)))
        elif cat == "Cs":
            table.fault("%s contains a lone surrogate" % key)
        elif cat == "Co" or cat == "Cn":
            table.fault("%s contains unassigned or private character U+%04X" % (key, ord(c)))
    if "\\" in value:
        table.fault("%s contains a backslash; the reader turns \\r and \\n into line "
                    "breaks, and no other text needs one" % key)
    if unicodedata.normalize("NFC", value) != value:
        table.fault("%s is not in Unicode NFC form" % key)


def check_links(table):
    value = table.values.get("STRID_HOMEPAGE_AGREEMENT", "")
    spans, broken = link_spans(value)
    if broken:
        table.fault("STRID_HOMEPAGE_AGREEMENT has unfinished link markup")
    names = [n for n, _ in spans if n is not None]
    if names != ["eula", "terms"]:
        table.fault("STRID_HOMEPAGE_AGREEMENT links are %r, expected ['eula', 'terms']" % names)
    for name, text in spans:
        if name is not None and (not text.strip() or text != text.strip()):
            table.fault("link %r shows %r: empty or padded link text" % (name, text))
        if "{" in text or "}" in text:
            table.fault("STRID_HOMEPAGE_AGREEMENT has a stray brace in %r" % text)
    if not any(n is None and t.strip() for n, t in spans):
        table.fault("STRID_HOMEPAGE_AGREEMENT has no plain text around the links")
    install = table.values.get("STRID_HOMEPAGE_INSTALL", "")
    if install and install not in value:
        table.fault("STRID_HOMEPAGE_AGREEMENT does not name the button text %r" % install)
    rtl_text = any(0x0590 <= ord(c) <= 0x06FF for c in value)
    if (table.name in RTL) != rtl_text:
        table.fault("STRID_HOMEPAGE_AGREEMENT %s Hebrew/Arabic letters, so the paragraph "
                    "direction would be wrong" % ("lacks" if table.name in RTL else "has"))
    for key in KEYS:
        if key != "STRID_HOMEPAGE_AGREEMENT" and "{link:" in table.values.get(key, ""):
            table.fault("%s contains link markup" % key)


def check_urls(table, code, host_seen):
    for key, (english_path, query) in URLS.items():
        value = table.values.get(key, "")
        url = urllib.parse.urlsplit(value)
        if url.scheme != "https" or not url.hostname:
            table.fault("%s is not an https address: %r" % (key, value))
            continue
        host_seen.setdefault(url.netloc, []).append("%s:%s" % (table.name, key))
        if url.query != query:
            table.fault("%s has query %r, expected %r" % (key, url.query, query))
        if url.fragment or url.username or url.password or url.port:
            table.fault("%s carries a fragment, credentials or port" % key)
        path = url.path
        if table.name in PREFIXED:
            prefix = "/" + code
            if not path.startswith(prefix + "/"):
                table.fault("%s path %r lacks the language prefix %r" % (key, path, prefix + "/"))
                continue
            rest = path[len(prefix):]
            if not SLUG_PATH.match(rest) or rest.count("/") != english_path.count("/"):
                table.fault("%s path %r: after the prefix expected %d lower-case slug "
                            "segments like %r" % (key, path, english_path.count("/") - 1,
                                                  english_path))
        elif path != english_path:
            table.fault("%s path %r, expected the English path %r" % (key, path, english_path))


def noto_coverage():
    """Code points covered by installed Noto fonts, from fontconfig."""
    try:
        out = subprocess.run(["fc-list", "--format", "%{family[0]}\t%{charset}\n"],
                             capture_output=True, text=True, check=True).stdout
    except (OSError, subprocess.CalledProcessError) as e:
        return None, str(e)
    ranges = []
    for line in out.splitlines():
        family, _, charset = line.partition("\t")
        if not family.startswith("Noto"):
            continue
        for piece in charset.split():
            lo, _, hi = piece.partition("-")
            ranges.append((int(lo, 16), int(hi or lo, 16)))
    if not ranges:
        return None, "no Noto fonts found by fontconfig"
    ranges.sort()
    merged = []
    for lo, hi in ranges:
        if merged and lo <= merged[-1][1] + 1:
            merged[-1] = (merged[-1][0], max(merged[-1][1], hi))
        else:
            merged.append((lo, hi))
    return merged, None


def covered(ranges, cp):
    lo, hi = 0, len(ranges)
    while lo < hi:
        mid = (lo + hi) // 2
        if ranges[mid][1] < cp:
            lo = mid + 1
        elif ranges[mid][0] > cp:
            hi = mid
        else:
            return True
    return False


def read_simple_ini(path):
    table = parse(path, os.path.basename(path))
    return table.values


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser.add_argument("--fonts", action="store_true")
    args = parser.parse_args()
    lang_dir = os.path.join(args.root, "resources", "lang")
    faults, warnings = 0, []

    present = sorted(d for d in os.listdir(lang_dir)) if os.path.isdir(lang_dir) else []
    expected_names = [n for n, _ in LANGUAGES]
    for extra in sorted(set(present) - set(expected_names)):
        print("FAULT %s: folder is not a catalogue language" % extra)
        faults += 1

    catalogue_path = os.path.join(args.root, "resources", "lang.ini")
    if os.path.isfile(catalogue_path):
        catalogue = read_simple_ini(catalogue_path)
        for name, code in LANGUAGES:
            pieces = [p for p in catalogue.get(name, "").split(",") if p]
            if len(pieces) < 2 or pieces[1] != code:
                print("FAULT lang.ini: %s should carry code %r, has %r" % (name, code, pieces))
                faults += 1

    tables, host_seen = {}, {}
    for name, code in LANGUAGES:
        path = os.path.join(lang_dir, name, "gdstrings.ini")
        if not os.path.isfile(path):
            print("FAULT %s: %s missing" % (name, os.path.relpath(path, args.root)))
            faults += 1
            continue
        tables[name] = parse(path, name)

    for name, code in LANGUAGES:
        table = tables.get(name)
        if table is None:
            continue
        order = [k for k, _, _ in table.entries]
        if order != KEYS:
            missing = [k for k in KEYS if k not in table.values]
            unknown = [k for k in order if k not in KEYS]
            table.fault("keys differ from the English order (missing %s, unknown %s)"
                        % (missing or "none", unknown or "none"))
        for key in KEYS:
            value = table.values.get(key)
            if value is None:
                continue
            if not value:
                table.fault("%s is empty" % key)
            check_text_safety(table, key, value)
        for key, text in ENGLISH:
            if text is None or key not in table.values:
                continue
            expected = PRINTF.findall(text)
            got = PRINTF.findall(table.values[key])
            if got != expected:
                table.fault("%s placeholders %r, expected %r" % (key, got, expected))
            if name == "English" and table.values[key] != text:
                table.fault("%s is %r, expected %r" % (key, table.values[key], text))
            if name != "English" and table.values[key] == text:
                table.fault("%s is still the English text" % key)
            if name in SCRIPTS and not any(lo <= ord(c) <= hi for c in table.values[key]
                                           for lo, hi in SCRIPTS[name]):
                table.fault("%s has no letters of the %s script" % (key, name))
        if name == "English" and NBSP not in table.values.get("STRID_HOMEPAGE_INVALID_PATH", ""):
            table.fault("STRID_HOMEPAGE_INVALID_PATH lacks the no-break space")
        check_links(table)
        check_urls(table, code, host_seen)

    if len(host_seen) > 1:
        print("FAULT web addresses use several hosts: %s" % ", ".join(
            "%s (%d)" % (h, len(v)) for h, v in sorted(host_seen.items())))
        faults += 1
    site_host = next(iter(host_seen), "")

    product_path = os.path.join(args.root, "resources", "product.ini")
    if os.path.isfile(product_path) and site_host:
        product = read_simple_ini(product_path)
        site_domain = ".".join(site_host.split(".")[-2:])
        for key in ("URLID_DOWN", "URLID_DOWN_X64", "URLID_DOWN_ARM64", "XD_URL"):
            host = urllib.parse.urlsplit(product.get(key, "")).hostname or ""
            if host and not (host == site_domain or host.endswith("." + site_domain)):
                warnings.append("product.ini %s host %s is outside the web site's domain %s"
                                % (key, host, site_domain))

    if args.fonts:
        ranges, error = noto_coverage()
        if ranges is None:
            print("FAULT font check impossible: %s" % error)
            faults += 1
        else:
            for table in tables.values():
                missing = sorted({c for v in table.values.values() for c in v
                                  if not covered(ranges, ord(c))})
                if missing:
                    table.fault("no Noto font covers %s" % " ".join(
                        "U+%04X" % ord(c) for c in missing))

    for name, _ in LANGUAGES:
        table = tables.get(name)
        if table is None:
            continue
        if table.faults:
            for message in table.faults:
                print("FAULT %s: %s" % (name, message))
            faults += len(table.faults)
        else:
            print("ok    %-11s %d keys" % (name, len(table.entries)))
    for message in warnings:
        print("WARN  %s" % message)
    print("%d tables checked, host %s, %d fault(s)%s" % (
        len(tables), site_host or "-", faults, ", fonts checked" if args.fonts else ""))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
