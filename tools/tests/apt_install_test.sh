#!/usr/bin/env bash
# The set-up's apt steps against stubbed apt-get and apt-cache: the index
# update is retried and then given up on, a mismatched multi-arch pair is
# pinned to the version both lists hold, and an install that cannot succeed
# names the package and apt's reason and answers non-zero.
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"

# apt-get: "update" fails while $work/update_failures counts down; "install"
# fails while the arguments lack the pins listed in $work/needed_pins, with
# the message in $work/install_error. Every call is logged.
cat >"$work/bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "$*" >>"$STUB_DIR/calls"
case "$1" in
  update)
    n=$(cat "$STUB_DIR/update_failures" 2>/dev/null || echo 0)
    if [ "$n" -gt 0 ]; then
      echo $((n - 1)) >"$STUB_DIR/update_failures"
      echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress? [IP: 127.0.0.1 80]" >&2
      exit 100
    fi
    exit 0 ;;
  install)
    while read -r pin; do
      [ -n "$pin" ] || continue
      case " $* " in *" $pin "*) ;; *) cat "$STUB_DIR/install_error"; exit 100 ;; esac
    done <"$STUB_DIR/needed_pins"
    [ -f "$STUB_DIR/always_fail" ] && { cat "$STUB_DIR/install_error"; exit 100; }
    exit 0 ;;
esac
exit 0
STUB
# apt-cache madison: the versions of $work/madison, "name|version|arch".
cat >"$work/bin/apt-cache" <<'STUB'
#!/usr/bin/env bash
[ "$1" = madison ] || exit 0
name=${2%:i386}
arch=amd64; [ "$2" != "$name" ] && arch=i386
grep "^$name|" "$STUB_DIR/madison" | while IFS='|' read -r n v a; do
  [ "$a" = "$arch" ] && echo " $n | $v | http://deb.debian.org/debian bookworm/main $a Packages"
done
exit 0
STUB
chmod +x "$work/bin/"*
export PATH="$work/bin:$PATH" STUB_DIR=$work VARNO_APT_PAUSE=0 VARNO_APT_TRIES=3
. "$here/../apt-install.sh"

failures=0
check() {  # description, command...
  local what=$1
  shift
  if ! "$@"; then
    echo "FAIL: $what"
    failures=$((failures + 1))
  fi
}
reset() { : >"$work/calls"; : >"$work/needed_pins"; : >"$work/madison"; rm -f "$work/always_fail"; }

# Update: a mirror mid-sync on every try is retried, then the run goes on;
# one that recovers stops the retries.
for case in "5 3 yes" "1 2 no"; do
  read -r fails calls gives_up <<<"$case"
  reset
  echo "$fails" >"$work/update_failures"
  out=$(apt_update_with_retries 2>&1); rc=$?
  check "update ($fails failures) answers 0" [ "$rc" = 0 ]
  check "update ($fails failures) runs $calls times" [ "$(grep -c '^update' "$work/calls")" = "$calls" ]
  check "update names the try and apt's error" grep -q "apt-get update failed (try 1 of 3): E: Failed to fetch.*Mirror sync in progress" <<<"$out"
  if [ "$gives_up" = yes ]; then
    check "update gives up on the lists it has" grep -q "going on with the package lists apt has" <<<"$out"
  else
    check "a recovered update does not give up" bash -c "! grep -q 'going on' <<<\"\$0\"" "$out"
  fi
done

# Install: the i386 half of libssl3 is held back by a version the amd64
# list lacks; both halves get pinned to the newest version both lists hold.
reset
cat >"$work/install_error" <<'MSG'
The following packages have unmet dependencies:
 wine32:i386 : Depends: libssl3:i386 (>= 3.0.0) but it is not going to be installed
E: Unable to correct problems, you have held broken packages.
MSG
printf '%s\n' "libssl3:amd64=3.0.15-1" "libssl3:i386=3.0.15-1" >"$work/needed_pins"
printf '%s\n' "libssl3|3.0.16-1|amd64" "libssl3|3.0.15-1|amd64" "libssl3|3.0.14-1|amd64" \
  "libssl3|3.0.15-1|i386" "libssl3|3.0.14-1|i386" "libssl3|3.0.17-1|i386" >"$work/madison"
out=$(apt_install wine32:i386 xvfb 2>&1); rc=$?
check "pinned install answers 0" [ "$rc" = 0 ]
check "the pin is logged" grep -q "installing both halves of libssl3 at 3.0.15-1, the version both architectures' lists hold" <<<"$out"
check "the second try carries both pins" grep -q "^install .*wine32:i386 xvfb libssl3:amd64=3.0.15-1 libssl3:i386=3.0.15-1" "$work/calls"

# Install that cannot succeed: no version in common. The package apt cannot
# place is named, apt's reason follows, and the answer is non-zero.
reset
touch "$work/always_fail"
printf '%s\n' "libssl3|3.0.16-1|amd64" "libssl3|3.0.17-1|i386" >"$work/madison"
err=$(apt_install wine32:i386 2>&1 >/dev/null); rc=$?
check "failed install answers non-zero" [ "$rc" != 0 ]
check "failed install names the package" grep -q "setup: could not install: wine32:i386" <<<"$err"
check "failed install quotes apt's reason" grep -q "wine32:i386 : Depends: libssl3:i386" <<<"$err"
check "failed install is more than a bare E: line" [ "$(grep -vc '^ *E:' <<<"$err")" -ge 3 ]

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all apt set-up checks passed"
