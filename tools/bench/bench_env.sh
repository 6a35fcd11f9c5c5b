# Sourced by the run_*_bench.sh scripts, with the build folder the caller
# named (or none): sets root and build, and the Wine of tools/wine-env.sh.
# The default build is i686, as shipped, or x86_64 where this machine
# cannot run 32-bit programs.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export VARNO_ROOT=$root
. "$root/tools/wine-env.sh"
bench_default_build=$root/build/i686
[ -z "${VARNO_WIN32_UNAVAILABLE:-}" ] || bench_default_build=$root/build/x86_64
build=$(cd "${1:-$bench_default_build}" && pwd)
