# Sourced by tools/setup.sh (and its test): apt steps that survive a package
# mirror caught mid-sync. The index update is retried and then given up on,
# since the lists apt already has usually suffice; an install that fails on
# multi-arch pairs whose halves stand at different versions in the two
# architectures' lists is retried with both halves pinned to a version both
# lists hold. Anything still missing is named, with apt's reason.
VARNO_APT_TRIES=${VARNO_APT_TRIES:-4}
VARNO_APT_PAUSE=${VARNO_APT_PAUSE:-15}
VARNO_APT_ROUNDS=${VARNO_APT_ROUNDS:-12}

apt_update_with_retries() {
  local log try
  log=$(mktemp)
  for try in $(seq "$VARNO_APT_TRIES"); do
    if apt-get update -qq >"$log" 2>&1; then
      rm -f "$log"
      return 0
    fi
    echo "setup: apt-get update failed (try $try of $VARNO_APT_TRIES): $(grep -m1 '^E:' "$log" || tail -n1 "$log")"
    [ "$try" -lt "$VARNO_APT_TRIES" ] && sleep "$VARNO_APT_PAUSE"
  done
  rm -f "$log"
  echo "setup: going on with the package lists apt has"
  return 0
}

# The highest version of a package that both the amd64 and the i386 lists
# hold, or nothing.
apt_common_version() {
  local name=$1 v best=""
  local -A amd=()
  while read -r v; do [ -n "$v" ] && amd[$v]=1; done < <(
    apt-cache madison "$name" 2>/dev/null | awk -F'|' '$3 ~ / amd64 Packages/ {gsub(/ /, "", $2); print $2}')
  while read -r v; do
    [ -n "$v" ] && [ -n "${amd[$v]:-}" ] || continue
    if [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
  done < <(apt-cache madison "$name:i386" 2>/dev/null | awk -F'|' '$3 ~ / i386 Packages/ {gsub(/ /, "", $2); print $2}')
  [ -n "$best" ] && echo "$best"
}

# apt_install PACKAGE... : installs them, pinning mismatched multi-arch pairs
# as needed; on failure prints what could not be installed and why, and
# answers 1.
apt_install() {
  local log round name v new
  local -a pins=()
  local -A pinned=()
  log=$(mktemp)
  for round in $(seq "$VARNO_APT_ROUNDS"); do
    if DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        "$@" "${pins[@]}" >"$log" 2>&1; then
      rm -f "$log"
      return 0
    fi
    new=0
    for name in $(grep -oE '[a-z0-9][a-z0-9+.-]*:i386' "$log" | sed 's/:i386$//' | sort -u); do
      [ -n "${pinned[$name]:-}" ] && continue
      pinned[$name]=1
      v=$(apt_common_version "$name") || continue
      [ -n "$v" ] || continue
      echo "setup: installing both halves of $name at $v, the version both architectures' lists hold"
      pins+=("$name:amd64=$v" "$name:i386=$v")
      new=1
    done
    [ "$new" = 1 ] || break
  done
  local -a failed=()
  for name in "$@"; do
    apt-get install -s -q --no-install-recommends "$name" "${pins[@]}" >/dev/null 2>&1 || failed+=("$name")
  done
  [ ${#failed[@]} -gt 0 ] || failed=("$@")
  echo "setup: could not install: ${failed[*]}" >&2
  echo "setup: apt said:" >&2
  grep -vE '^(Reading|Building|Some packages|requested an|distribution that|or been moved|The following information)' "$log" | sed 's/^/  /' >&2
  rm -f "$log"
  return 1
}
