#!/usr/bin/env bash
# Sets up the machine, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# runs every test, then runs each fuzzer for a short time. Fails on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-machine.sh

cmake --preset debug
cmake --build --preset debug
ctest --preset debug --timeout 300 -j2

# Short fuzzing runs over the parsers and movie readers.
fuzz_seconds=${KW_FUZZ_SECONDS:-20}
fuzzers=(fuzz_parser fuzz_recogniser fuzz_probe fuzz_merger fuzz_netutil)
cmake --preset fuzz
cmake --build --preset fuzz --target "${fuzzers[@]}"
for fuzzer in "${fuzzers[@]}"; do
  corpus=$(mktemp -d)
  echo "== $fuzzer (${fuzz_seconds}s)"
  build/fuzz/fuzz/$fuzzer -max_total_time="$fuzz_seconds" -print_final_stats=0 "$corpus" 2>&1 | tail -n 3
  rm -rf "$corpus"
done
echo "All tests passed."
