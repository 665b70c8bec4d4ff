#!/usr/bin/env bash
# Runs libFuzzer targets for the given number of seconds each (default 600),
# one after the other: all of them, or those named after the seconds, each
# perhaps with its own time (`fuzz/run.sh 300 load describe:600`). Each
# target's growing corpus is kept in fuzz/corpus-work/<target>, any crash in fuzz/corpus-work/artifacts, its
# output in fuzz/corpus-work/logs/<target>.log. Ends with a table of each
# target's executions per second and what it found, from libFuzzer's final
# stats. Needs Debian's clang and libclang-rt-14-dev.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-600}"
shift || true
build="$root/build-fuzz"
# FUZZ_BUILT=1: the targets are built already (on a shared machine, by a
# build that waited its turn), so the fuzzing alone runs here.
if [ "${FUZZ_BUILT:-0}" != 1 ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBIFFLENS_FUZZ=ON -DBIFFLENS_GUI=OFF -DBIFFLENS_TESTS=OFF -DBIFFLENS_BENCH=OFF >/dev/null
  cmake --build "$build" -j"$(nproc)"
fi
work="$root/fuzz/corpus-work"
mkdir -p "$work/artifacts" "$work/logs"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for target in "$build"/fuzz/fuzz_*; do
    targets+=("${target##*/fuzz_}")
  done
fi
summary=()
for wanted in "${targets[@]}"; do
  name="${wanted%%:*}"
  time="$seconds"
  [ "$wanted" != "$name" ] && time="${wanted#*:}"
  target="$build/fuzz/fuzz_$name"
  [ -x "$target" ] || { echo "no target $name" >&2; exit 2; }
  mkdir -p "$work/$name"
  for seeds in "$root/fuzz/seeds/$name" "$root/fuzz/corpus/$name" "$root/fuzz/regressions/$name"; do
    [ -d "$seeds" ] && cp -n "$seeds"/* "$work/$name/" 2>/dev/null || true
  done
  # Whole workbooks for the targets that read them (the describe target
  # skips those past 64 KiB).
  case "$name" in
    compound_file|load|describe|macros)
      cp -n "$root"/../shared/corpus/*.xls "$work/$name/" 2>/dev/null || true
      cp -n "$root"/../shared/corpus/encrypted/*.xls "$work/$name/" 2>/dev/null || true ;;
  esac
  maxLen=262144
  [ "$name" = describe ] && maxLen=65536
  log="$work/logs/$name.log"
  echo "== $name for $time s"
  status=0
  "$target" "$work/$name" -max_total_time="$time" -max_len="$maxLen" -rss_limit_mb=1024 \
    -malloc_limit_mb=256 -timeout=10 -artifact_prefix="$work/artifacts/$name-" -print_final_stats=1 \
    >"$log" 2>&1 || status=$?
  tail -n 12 "$log"
  stat() { sed -n "s/^stat::$1: *//p" "$log" | tail -n 1; }
  result=ok
  [ "$status" -ne 0 ] && result="stopped ($(grep -m1 -oE 'ERROR: libFuzzer: [a-z -]+|ERROR: AddressSanitizer: [a-z-]+|SUMMARY: [A-Za-z]+: [a-z-]+' "$log" || echo "exit $status"))"
  rate="$(stat average_exec_per_sec)"
  # A run that stopped on a finding prints no final stats: its last status line.
  [ -n "$rate" ] || rate="$(grep -oE 'exec/s: [0-9]+' "$log" | tail -n 1 | cut -d' ' -f2)"
  summary+=("$(printf '%-14s %9s %10s %6s %8s  %s' "$name" "$rate" \
    "$(stat number_of_executed_units)" "$(stat new_units_added)" "$(stat peak_rss_mb)" "$result")")
done
echo
printf '%-14s %9s %10s %6s %8s  %s\n' target "exec/s" runs new "rss MB" result
for line in "${summary[@]}"; do
  echo "$line"
done
