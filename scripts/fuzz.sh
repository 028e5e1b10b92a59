#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, under AddressSanitizer and UBSan, and runs
# each for SECONDS (default 20) from its seed corpus in fuzz/corpus. Prints the
# executions each reached; exits non-zero on the first finding (kept in the build
# folder's fuzz-findings). KESTREL_FUZZ_SEED fixes libFuzzer's seed (0, the default,
# lets it pick one). Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
dir=${KESTREL_FUZZ_BUILD:-build-fuzz}
cmake -S . -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTREL_FUZZ=ON -DKESTREL_SANITIZE=ON -DKESTREL_BENCH=OFF >/dev/null
cmake --build "$dir" -j"$(nproc 2>/dev/null || echo 2)" --target fuzzers
targets=("$@")
if ((${#targets[@]} == 0)); then
  mapfile -t targets < <(cd "$dir/fuzzers" && ls)
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$dir/fuzz-findings"
for target in "${targets[@]}"; do
  mkdir -p "$work/$target"
  corpora=("$work/$target")
  [ -d "fuzz/corpus/$target" ] && corpora+=("fuzz/corpus/$target")
  if ! ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$dir/fuzzers/$target" -max_total_time="$seconds" -seed="${KESTREL_FUZZ_SEED:-0}" -print_final_stats=1 \
      -artifact_prefix="$dir/fuzz-findings/$target-" "${corpora[@]}" >"$work/$target.log" 2>&1; then
    tail -n 60 "$work/$target.log"
    echo "fuzz: $target found a fault (input in $dir/fuzz-findings)" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target.log")
  echo "fuzz: $target: ${runs:-?} executions in ${seconds} s"
done
