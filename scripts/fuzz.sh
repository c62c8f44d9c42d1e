#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, the "fuzz" preset) and runs each one for
# a bounded time, starting from its seed corpus. The optional argument is the
# number of seconds per target (default 30). A crash, leak or hang fails the run;
# the input that caused it is left in build/fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
bash scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
artifacts="$PWD/build/fuzz/artifacts"
mkdir -p "$artifacts"
status=0
for target in build/fuzz/fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name="$(basename "$target")"
  corpus="fuzz/${name#fuzz_}/corpus"
  work="$(mktemp -d)"
  # The run's own findings go to a scratch copy, so the seed corpus stays as committed.
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  echo "== $name (${seconds}s)"
  if ! QT_QPA_PLATFORM=offscreen "$target" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/$name-" \
      "$work" 2>"$work.log"; then
    status=1
    tail -n 40 "$work.log"
  fi
  grep -E '^stat::number_of_executed_units|^Done [0-9]+ runs' "$work.log" || true
  rm -rf "$work" "$work.log"
done
exit "$status"
