#!/usr/bin/env python3
"""Reads back what a demo run left behind and prints a summary.

  demo_report.py --work WORKDIR [--record FILE] [--collector URL] [--json]

WORKDIR is demo_servers_start's folder: its access.log (nginx) and
collector-records.json (saved by demo_servers_stop; --collector
http://127.0.0.1:18480 reads the live collector instead). FILE is the record
file of the demo installer and product (VARNO_DEMO_RECORD). --json prints
the parsed data instead of text. As a module:

  read_record(path)        -> [{"kind": "installer"|"product"|"browser", "pid": int, "elevated": bool|None,
                                "cwd": str|None, "cmdline": str}]
  read_access_log(path)    -> [{"method", "path", "status", "bytes", "range", "conn",
                                "seconds", "end"}]
  download_summary(entries, path_part="/download/") -> {"requests", "bytes",
                                "connections", "seconds"} (first start to last end)
  read_collector(source)   -> {"analytics": [{"label", "name", "category", "client_id",
                                "query"}], "reports": [{"action", "status", "fields",
                                "query"}], "other": [raw records]}
"""
import argparse
import json
import re
import sys
import urllib.parse
import urllib.request


def read_record(path):
    events = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            # The command line may hold TABs: it is everything after the fixed fields.
            if fields[0] in ("installer", "browser") and len(fields) >= 3 and fields[1].startswith("pid="):
                events.append({"kind": fields[0], "pid": int(fields[1][4:]), "elevated": None, "cwd": None,
                               "cmdline": "\t".join(fields[2:])})
            elif (fields[0] == "product" and len(fields) >= 5 and fields[1].startswith("pid=")
                  and fields[2] in ("elevated=0", "elevated=1") and fields[3].startswith("cwd=")):
                events.append({"kind": "product", "pid": int(fields[1][4:]), "elevated": fields[2] == "elevated=1",
                               "cwd": fields[3][len("cwd="):], "cmdline": "\t".join(fields[4:])})
            else:
                raise ValueError("unreadable record line: %r" % line)
    return events


_LOG = re.compile(r'^\S+ \[[^\]]*\] "(\S+) (\S+) [^"]*" (\d+) (\d+) range="([^"]*)" conn=(\d+) rt=([\d.]+) end=([\d.]+)$')


def read_access_log(path):
    entries = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = _LOG.match(line.strip())
            if m:
                entries.append({"method": m.group(1), "path": m.group(2), "status": int(m.group(3)),
                                "bytes": int(m.group(4)), "range": m.group(5), "conn": int(m.group(6)),
                                "seconds": float(m.group(7)), "end": float(m.group(8))})
    return entries


def download_summary(entries, path_part="/download/"):
    hits = [e for e in entries if path_part in e["path"]]
    if not hits:
        return {"requests": 0, "bytes": 0, "connections": 0, "seconds": 0.0}
    start = min(e["end"] - e["seconds"] for e in hits)
    return {"requests": len(hits), "bytes": sum(e["bytes"] for e in hits),
            "connections": len({e["conn"] for e in hits}),
            "seconds": round(max(e["end"] for e in hits) - start, 3)}


def read_collector(source):
    if source.startswith("http://"):
        raw = json.loads(urllib.request.urlopen(source.rstrip("/") + "/_records", timeout=5).read())
    else:
        with open(source, encoding="utf-8") as f:
            raw = json.load(f)
    out = {"analytics": [], "reports": [], "other": []}
    for record in raw:
        target = urllib.parse.urlsplit(record["target"])
        try:
            body = json.loads(bytes.fromhex(record["body_hex"]).decode("utf-8"))
        except ValueError:
            body = None
        query = dict(urllib.parse.parse_qsl(target.query))
        if isinstance(body, dict) and isinstance(body.get("events"), list) and body["events"]:
            event = body["events"][0]
            params = event.get("params", {})
            out["analytics"].append({"label": params.get("event_label"), "name": event.get("name"),
                                     "category": params.get("event_category"),
                                     "client_id": body.get("client_id"), "query": query})
        elif isinstance(body, dict) and "action" in body:
            out["reports"].append({"action": body.get("action"), "status": body.get("status"),
                                   "fields": body, "query": query})
        else:
            out["other"].append(record)
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--work", required=True)
    parser.add_argument("--record")
    parser.add_argument("--collector")
    parser.add_argument("--json", action="store_true")
    args = parser.parse_args()
    data = {}
    try:
        data["download"] = download_summary(read_access_log(args.work + "/access.log"))
    except OSError as e:
        data["download"] = {"error": str(e)}
    try:
        data["collector"] = read_collector(args.collector or args.work + "/collector-records.json")
    except (OSError, ValueError) as e:
        data["collector"] = {"error": str(e)}
    if args.record:
        try:
            data["record"] = read_record(args.record)
        except (OSError, ValueError) as e:
            data["record"] = {"error": str(e)}
    if args.json:
        json.dump(data, sys.stdout, indent=1)
        print()
        return
    d = data["download"]
    if "error" in d:
        print("download: no access log (%s)" % d["error"])
    else:
        print("download: %d requests on %d connections, %.1f MiB in %.1f s" %
              (d["requests"], d["connections"], d["bytes"] / 1048576.0, d["seconds"]))
    c = data["collector"]
    if "error" in c:
        print("collector: nothing read (%s)" % c["error"])
    else:
        print("analytics events (%d):" % len(c["analytics"]))
        for a in c["analytics"]:
            print("  %s" % a["label"])
        print("reports (%d):" % len(c["reports"]))
        for r in c["reports"]:
            print("  action=%s status=%s" % (r["action"], r["status"]))
        if c["other"]:
            print("other requests: %d" % len(c["other"]))
    if args.record:
        r = data["record"]
        if isinstance(r, dict):
            print("record: none (%s)" % r["error"])
        else:
            print("record (%s):" % args.record)
            for e in r:
                extra = "" if e["kind"] != "product" else " elevated=%d cwd=%s" % (e["elevated"], e["cwd"])
                print("  %s%s  %s" % (e["kind"], extra, e["cmdline"]))


if __name__ == "__main__":
    main()
