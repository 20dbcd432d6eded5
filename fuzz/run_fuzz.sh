#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a given time.
#
#   bash fuzz/run_fuzz.sh DURATION_SECONDS [fuzz_reader|fuzz_analysis|fuzz_pattern|fuzz_standard_reader|fuzz_tree_source|fuzz_root|fuzz_summary_page]
#
# Build directory: build-fuzz (clang, AddressSanitizer + UndefinedBehaviorSanitizer + libFuzzer).
# Each target starts from its seed corpus (fuzz/corpus/KIND, KIND being reader, analysis,
# pattern, standard_reader, tree_source, root or summary_page) and the stored regression inputs
# (tests/fuzz_regressions/KIND). Inputs are cut at 4 KiB and may take 10 s; the targets that
# read whole tree files (fuzz_standard_reader, fuzz_tree_source, fuzz_root) take inputs of up to
# 64 KiB and 2 s each, so that a scan longer than linear shows as a timeout.
# The seeds are copied into fuzz/corpus-work/KIND, which grows from run to run and is not
# versioned. Crash, leak, timeout and out-of-memory inputs are written to fuzz/artifacts/KIND/.
# The exit status is non-zero when any target found something.
set -uo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 DURATION_SECONDS [fuzz_reader|fuzz_analysis|fuzz_pattern|fuzz_standard_reader|fuzz_tree_source|fuzz_root|fuzz_summary_page]" >&2
  exit 2
fi
duration=$1
targets=(fuzz_reader fuzz_analysis fuzz_pattern fuzz_standard_reader fuzz_tree_source fuzz_root fuzz_summary_page)
if [ $# -ge 2 ]; then
  case $2 in
    fuzz_standard_reader | standard_reader) targets=(fuzz_standard_reader) ;;
    fuzz_tree_source | tree_source) targets=(fuzz_tree_source) ;;
    fuzz_root | root) targets=(fuzz_root) ;;
    fuzz_reader | reader) targets=(fuzz_reader) ;;
    fuzz_analysis | analysis) targets=(fuzz_analysis) ;;
    fuzz_pattern | pattern) targets=(fuzz_pattern) ;;
    fuzz_summary_page | summary_page) targets=(fuzz_summary_page) ;;
    *) echo "unknown target: $2" >&2; exit 2 ;;
  esac
fi

cxx=${FUZZ_CXX:-clang++}
if ! command -v "$cxx" >/dev/null; then
  echo "$cxx not found: the fuzz targets need clang with libFuzzer" >&2
  exit 2
fi

build=build-fuzz
sanitize='-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer'
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS_RELEASE='-O1 -g' \
  -DTAVRIN_TESTS=OFF -DTAVRIN_FUZZ=ON >/dev/null || exit 1
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null || {
  echo "building the fuzz targets failed" >&2
  exit 1
}

export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:check_initialization_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0
for target in "${targets[@]}"; do
  kind=${target#fuzz_}
  work=fuzz/corpus-work/$kind
  artifacts=fuzz/artifacts/$kind
  log=fuzz/corpus-work/$kind.log
  mkdir -p "$work" "$artifacts"
  cp -n fuzz/corpus/"$kind"/* "$work"/ 2>/dev/null || true
  options=(-max_len=4096 -timeout=10)
  case $target in
    fuzz_standard_reader | fuzz_tree_source | fuzz_root) options=(-max_len=65536 -len_control=0 -timeout=2) ;;
  esac
  [ -f fuzz/"$kind".dict ] && options+=(-dict=fuzz/"$kind".dict)
  extra=()
  [ -d tests/fuzz_regressions/"$kind" ] && extra+=(tests/fuzz_regressions/"$kind")

  echo "== $target for ${duration}s (corpus $work, findings in $artifacts/, log $log)"
  "$build/fuzz/$target" -max_total_time="$duration" -close_fd_mask=2 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "${options[@]}" "$work" "${extra[@]}" >"$log" 2>&1
  rc=$?
  if [ $rc -ne 0 ]; then
    status=1
    echo "$target FOUND A PROBLEM (exit status $rc):"
    grep -E 'fuzz_[a-z_]+:|ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -n 40
    echo "-- end of $log:"
    tail -n 60 "$log"
  else
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb|new_units_added)' "$log"
    grep -E '^Done ' "$log" | tail -n 1
  fi
done
exit $status
