#!/usr/bin/env bash
# Runs each libFuzzer target for the given number of seconds (default 600),
# one after the other, keeping each target's growing corpus in
# fuzz/corpus-work/<target> and any crash in fuzz/corpus-work/artifacts.
# Needs Debian's clang and libclang-rt-14-dev.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-600}"
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBIFFLENS_FUZZ=ON -DBIFFLENS_GUI=OFF -DBIFFLENS_TESTS=OFF -DBIFFLENS_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
work="$root/fuzz/corpus-work"
mkdir -p "$work/artifacts"
for target in "$build"/fuzz/fuzz_*; do
  name="${target##*/fuzz_}"
  mkdir -p "$work/$name"
  for seeds in "$root/fuzz/seeds/$name" "$root/fuzz/corpus/$name" "$root/fuzz/regressions/$name"; do
    [ -d "$seeds" ] && cp -n "$seeds"/* "$work/$name/" 2>/dev/null || true
  done
  case "$name" in
    compound_file|workbook|macros)
      cp -n "$root"/../shared/corpus/*.xls "$work/$name/" 2>/dev/null || true
      cp -n "$root"/../shared/corpus/encrypted/*.xls "$work/$name/" 2>/dev/null || true ;;
  esac
  echo "== $name for $seconds s"
  "$target" "$work/$name" -max_total_time="$seconds" -max_len=262144 -rss_limit_mb=1024 \
    -malloc_limit_mb=256 -timeout=10 -artifact_prefix="$work/artifacts/$name-" -print_final_stats=1
done
