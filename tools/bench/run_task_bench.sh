#!/usr/bin/env bash
# Builds and runs the task-posting benchmark under Wine (i686 build).
#
#   run_task_bench.sh                       the working tree's build
#   run_task_bench.sh --against REV [N]     the working tree against the base
#                                           library of git revision REV, built
#                                           alike and run in turns, N rounds
#                                           (3 by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export VARNO_ROOT=$root

# build_bench SOURCE_ROOT OUTPUT: the base library and the benchmark in one
# compiler call, with the flags of the project's release build.
build_bench() {
  local src=$1 out=$2
  local -a sources
  mapfile -t sources < <(cd "$src" && ls base/check.cpp base/framework/*.cpp base/synchronization/*.cpp \
    base/thread/*.cpp base/time/*.cpp base/util/string_util.cpp | grep -v _unittest)
  (cd "$src" && i686-w64-mingw32-g++-posix -std=c++17 -O2 -DNDEBUG -DUNICODE -D_UNICODE -DNOMINMAX \
    -D_WIN32_WINNT=0x0601 -DWINVER=0x0601 -I. "${sources[@]}" "$root/tools/bench/task_bench.cpp" \
    -static -static-libgcc -static-libstdc++ -lwinmm -o "$out")
}

. "$root/tools/wine-env.sh"
trap wine_env_stop EXIT
if [ "${1:-}" = --against ]; then
  rev=${2:?revision}
  rounds=${3:-3}
  work=$(mktemp -d)
  trap 'wine_env_stop; rm -rf "$work"' EXIT
  mkdir "$work/old"
  git -C "$root" archive "$rev" base | tar -x -C "$work/old"
  echo "building the benchmark against $rev and against the working tree"
  build_bench "$work/old" "$work/task_bench_old.exe"
  build_bench "$root" "$work/task_bench_new.exe"
  wine_env_start
  for round in $(seq "$rounds"); do
    for which in old new; do
      echo "== round $round, $([ $which = old ] && echo "$rev" || echo "working tree")"
      wine "$work/task_bench_$which.exe"
    done
  done
else
  cmake --build "$root/build/i686" --target task_bench >/dev/null
  wine_env_start
  wine "$root/build/i686/bin/task_bench.exe"
fi
