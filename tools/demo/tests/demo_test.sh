#!/usr/bin/env bash
# The demo world without the wizard: the demo installer and product under
# Wine (exact command lines, the product put into a folder with blanks, what
# the record file says), then the demo servers (refusal of a taken port,
# the padded file over TLS with ranges at the limited rate, the collector's
# records read back by demo_report.py).
#   demo_test.sh INSTALLER_EXE PRODUCT_EXE TOOL_EXE   (WINEPREFIX, DISPLAY from the caller)
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
installer=$(readlink -f "$1") product=$(readlink -f "$2") tool=$(readlink -f "$3")
work=$(mktemp -d /tmp/varno-demo-test.XXXXXX)
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
winpath() { local p; p=$(readlink -m "$1"); echo "Z:${p//\//\\}"; }
listener_pid=
. "$here/demo_servers.sh"
cleanup() {
  [ -n "$listener_pid" ] && { kill "$listener_pid" 2>/dev/null; wait "$listener_pid" 2>/dev/null; }
  demo_servers_stop
  rm -rf "$work"
}
trap cleanup EXIT
export WINEDEBUG=-all
unset VARNO_DEMO_RECORD

# --- the installer: a folder with blanks, default record file inside it ---
folder="$work/Program Files/VARNO Demo"
cmd="\"$(winpath "$installer")\" /DIR=\"$(winpath "$folder")\" /tolvane_down /PASSWORD=\"p w\" /wait_run /verysilent"
start=$(date +%s.%N)
VARNO_DEMO_INSTALL_SECONDS=2 VARNO_DEMO_COMMAND_LINE=$cmd wine "$tool" run
rc=$?
took=$(python3 -c "import sys,time; print(round(time.time()-float(sys.argv[1]),1))" "$start")
[ "$rc" = 0 ] || fail "installer exit code $rc"
python3 -c "import sys; sys.exit(float(sys.argv[1]) < 2)" "$took" || fail "installer took only $took s"
cmp -s "$folder/VARNO.exe" "$product" || fail "VARNO.exe is not the demo product"
[ ! -e "$folder/VARNO.exe.part" ] || fail "a partial VARNO.exe was left"
got=$(cat "$folder/demo-record.txt" 2>/dev/null)
[ "$(echo "$got" | wc -l)" = 1 ] && [ "$(echo "$got" | sed 's/^installer\tpid=[0-9][0-9]*\t//')" = "$cmd" ] ||
  fail "installer record: got [$got] want [installer<TAB>pid=N<TAB>$cmd]"
VARNO_DEMO_COMMAND_LINE="\"$(winpath "$installer")\" /verysilent" VARNO_DEMO_INSTALL_SECONDS=0 wine "$tool" run
rc=$?
[ "$rc" = 2 ] || fail "installer without /DIR= exit code $rc, want 2"

# --- the product: the after-install call, then a plain start with its window ---
export VARNO_DEMO_RECORD=$(winpath "$work/record.txt")
pcmd="\"$(winpath "$folder/VARNO.exe")\" --install=1 --language=English"
VARNO_DEMO_COMMAND_LINE=$pcmd wine "$tool" run
rc=$?
[ "$rc" = 0 ] || fail "product --install exit code $rc"
# Its output must not hold ctest's pipe should it outlive this script.
(cd "$folder" && VARNO_DEMO_COMMAND_LINE="\"$(winpath "$folder/VARNO.exe")\"" exec wine "$tool" run) \
  >/dev/null 2>&1 &
product_pid=$!
window=
for _ in $(seq 100); do
  window=$(xdotool search --name "^VARNO demo product$" 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || fail "the product showed no window"
kill -0 "$product_pid" 2>/dev/null || fail "the plainly started product did not stay"
win_pid=$(grep -a "^product" "$work/record.txt" | sed -n '2s/^product\tpid=\([0-9]*\).*/\1/p')
[ -n "$win_pid" ] || fail "no pid recorded for the plain start"
# A user's close: Alt+F4 on the focused window, as the X server delivers it.
xdotool windowfocus --sync "$window" key alt+F4 >/dev/null 2>&1
for _ in $(seq 50); do kill -0 "$product_pid" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$product_pid" 2>/dev/null; then
  fail "the product did not end on WM_CLOSE"
  [ -n "$win_pid" ] && wine taskkill /f /pid "$win_pid" >/dev/null 2>&1
fi
wait "$product_pid"
rc=$?
[ "$rc" = 0 ] || fail "the closed product exit code $rc"
unset VARNO_DEMO_RECORD
PYTHONPATH=$here python3 - "$work/record.txt" "$pcmd" "\"$(winpath "$folder/VARNO.exe")\"" "$(winpath "$folder")" <<'PY' ||
import sys, demo_report
events = demo_report.read_record(sys.argv[1])
want = [("product", sys.argv[2]), ("product", sys.argv[3])]
got = [(e["kind"], e["cmdline"]) for e in events]
assert got == want, "record %r, want %r" % (got, want)
assert events[1]["cwd"].rstrip("\\") == sys.argv[4], "cwd %r, want %r" % (events[1]["cwd"], sys.argv[4])
assert all(e["elevated"] is not None for e in events)
print("product record: elevated=%s" % [e["elevated"] for e in events])
PY
  fail "product record"

# --- the servers ---
python3 -c 'import socket,time; s=socket.socket(); s.bind(("127.0.0.1",18480)); s.listen(); time.sleep(60)' &
listener_pid=$!
sleep 0.3
if demo_servers_start "$work/refused" "$installer" 2>"$work/refused.err"; then
  fail "the servers started while port 18480 was taken"
fi
grep -q "port 18480" "$work/refused.err" || fail "no clear refusal: $(cat "$work/refused.err")"
kill "$listener_pid"; wait "$listener_pid" 2>/dev/null; listener_pid=

VARNO_DEMO_MIB=4 VARNO_DEMO_DOWNLOAD_SECONDS=2 demo_servers_start "$work/srv" "$installer" || fail "servers did not start"
url=https://127.0.0.1:18443/download/varno/varno-win-x64_setup.exe
size=$(stat -c %s "$VARNO_DEMO_SERVED")
[ "$size" -ge $((4 * 1048576)) ] || fail "served file of $size bytes"
cmp -s -n "$(stat -c %s "$installer")" "$installer" "$VARNO_DEMO_SERVED" || fail "served file does not start with the installer"
head=$(curl -sS -I --cacert "$work/srv/certs/ca.pem" "https://127.0.0.1:18443/download/varno/varno-win-x86_setup.exe")
echo "$head" | grep -qi "^content-length: $size" || fail "x86 path: $head"
start=$(date +%s.%N)
curl -sS --cacert "$work/srv/certs/ca.pem" -r 1048576-1572863 -o "$work/range.bin" -w '%{http_code}\n' "$url" >"$work/code"
took=$(python3 -c "import sys,time; print(round(time.time()-float(sys.argv[1]),2))" "$start")
[ "$(cat "$work/code")" = 206 ] || fail "range answer $(cat "$work/code")"
cmp -s "$work/range.bin" <(tail -c +1048577 "$VARNO_DEMO_SERVED" | head -c 524288) || fail "range bytes differ"
# 512 KiB at a rate of size / 8 / 2 s per connection.
python3 -c "import sys; want = 524288 / (int(sys.argv[2]) / 16); sys.exit(not 0.8 * want <= float(sys.argv[1]) <= 1.5 * want + 0.5)" \
  "$took" "$size" || fail "range took $took s, not 512 KiB at the limited rate"
curl -sS -o /dev/null -X POST --data '{"client_id":"c","events":[{"name":"n","params":{"event_category":"k","event_label":"Install_Start_x64"}}]}' \
  "http://127.0.0.1:18480/mp/collect?measurement_id=G-1&api_secret=s" || fail "analytics post"
curl -sS -o /dev/null -X POST --data '{"action":"install","status":"success"}' \
  "http://127.0.0.1:18480/log/v1/api/report?sign=x" || fail "report post"
wine "$tool" trust "$VARNO_DEMO_CA" && wine "$tool" untrust || fail "trusting the CA"
demo_servers_stop
PYTHONPATH=$here python3 - "$work/srv" <<'PY' || fail "demo_report"
import sys, demo_report
work = sys.argv[1]
d = demo_report.download_summary(demo_report.read_access_log(work + "/access.log"))
assert d["requests"] == 2 and d["bytes"] == 524288, d
c = demo_report.read_collector(work + "/collector-records.json")
assert [a["label"] for a in c["analytics"]] == ["Install_Start_x64"], c
assert c["analytics"][0]["query"]["measurement_id"] == "G-1", c
assert [(r["action"], r["status"]) for r in c["reports"]] == [("install", "success")], c
print("report: %s" % d)
PY
python3 "$here/demo_report.py" --work "$work/srv" | sed 's/^/  /'
[ "$failures" = 0 ] && echo "demo_test: all passed"
exit $((failures > 0))
