#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs each for a while on its corpus
# in fuzz/corpus/ (rtf/ for the RTF reader; new inputs are written there), then minimises
# that corpus so the kept one stays small. Fails if a fuzzer finds a crash, a hang or a
# memory blow-up.
#
#   scripts/fuzz.sh [seconds per fuzzer, default 600] [fuzzer names, default: all]
#   e.g. scripts/fuzz.sh 60 rtf_reader
set -euo pipefail

seconds=${1:-600}
shift || true
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
# Real documents from word processors: extra seeds for the RTF reader, never written to.
shared_rtf="$root/../shared/corpus/rtf"
fuzzers=(rtf_reader codepage)
declare -A corpus_dirs=([rtf_reader]=rtf [codepage]=codepage)
if [[ $# -gt 0 ]]; then fuzzers=("$@"); fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DOSTRIVEL_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null

targets=()
for name in "${fuzzers[@]}"; do
  if [[ -f "$root/fuzz/${name}_fuzzer.cpp" ]]; then
    targets+=("${name}_fuzzer")
  else
    echo "fuzz.sh: fuzz/${name}_fuzzer.cpp is missing; ${name} is not fuzzed" >&2
  fi
done
[[ ${#targets[@]} -gt 0 ]] || { echo "fuzz.sh: no fuzz targets" >&2; exit 1; }
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

# Undefined behaviour is a finding, not a warning.
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export ASAN_OPTIONS=abort_on_error=1

failed=()
for target in "${targets[@]}"; do
  name=${target%_fuzzer}
  corpus="$root/fuzz/corpus/${corpus_dirs[$name]:-$name}"
  artifacts="$build/artifacts/$name"
  mkdir -p "$corpus" "$artifacts"
  seeds=()
  if [[ $name == rtf_reader && -d $shared_rtf ]]; then seeds+=("$shared_rtf"); fi

  echo "== $target for ${seconds}s"
  # -max_len keeps new inputs small; -timeout turns a hang into a finding.
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
      -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "${seeds[@]}"; then
    echo "fuzz.sh: $target found a fault; the input is in $artifacts" >&2
    failed+=("$target")
    continue
  fi

  # Keep only the inputs that reach new code; counting hits as well would keep thousands.
  merged=$(mktemp -d "$build/merged-$name.XXXXXX")
  "$build/fuzz/$target" -merge=1 -use_counters=0 -max_len=4096 -timeout=10 "$merged" "$corpus"
  find "$corpus" -maxdepth 1 -type f -delete
  find "$merged" -maxdepth 1 -type f -exec mv -t "$corpus" {} +
  rmdir "$merged"
  echo "== $target corpus: $(find "$corpus" -type f | wc -l) files"
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzz.sh: faults found by: ${failed[*]}" >&2
  exit 1
fi
