#!/usr/bin/env bash
# Sets up the machine, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# runs every test, then runs each fuzzer for a short time. Fails on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-machine.sh

cmake --preset debug
cmake --build --preset debug

# The Windows programs are built by the debug build (mingw-w64) and tested
# under Wine by ctest; with the tools installed those tests must be there.
if command -v x86_64-w64-mingw32-g++ >/dev/null && [[ -x /usr/lib/wine/wine64 ]] && command -v Xvfb >/dev/null; then
  wine_tests=$(ctest --preset debug -N -R '^wine\.' | sed -n 's/^Total Tests: //p')
  if [[ -z $wine_tests || $wine_tests -eq 0 ]]; then
    echo "The Wine tests are not registered in the debug build." >&2
    exit 1
  fi
fi
ctest --preset debug --timeout 300 -j2 -E '^wine\.'
# The Wine tests drive real processes under an emulator whose display mode
# changes occasionally do not take; a test that fails is run once more.
ctest --preset debug --timeout 300 -R '^wine\.' --repeat until-pass:2

# Short fuzzing runs over the parsers and movie readers.
fuzz_seconds=${KW_FUZZ_SECONDS:-20}
fuzzers=(fuzz_parser fuzz_recogniser fuzz_probe fuzz_merger fuzz_netutil fuzz_package fuzz_inputscript)
cmake --preset fuzz
cmake --build --preset fuzz --target "${fuzzers[@]}"
for fuzzer in "${fuzzers[@]}"; do
  corpus=$(mktemp -d)
  echo "== $fuzzer (${fuzz_seconds}s)"
  build/fuzz/fuzz/$fuzzer -max_total_time="$fuzz_seconds" -print_final_stats=0 "$corpus" 2>&1 | tail -n 3
  rm -rf "$corpus"
done
echo "All tests passed."
