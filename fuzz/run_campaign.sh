#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs a campaign of them all at
# once.
#
#   fuzz/run_campaign.sh [minutes [target...]]
#
# minutes defaults to 30 per target; the targets are compile, dump, export and
# lsp (all four by default).
#
# The committed seeds in fuzz/corpus/<target> are read, never written: new
# inputs go to fuzz/work/<target>, and every crash, hang (over 1 s), leak or
# sanitizer report to fuzz/findings/<target>/. The script fails when any
# finding was written. Set FUZZ_BUILD to use another build directory, and
# FUZZ_TIMEOUT (seconds, 1 by default) for what counts as a hang.
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(compile dump export lsp)
build=${FUZZ_BUILD:-build-fuzz}

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    rt=$(apt-cache search --names-only '^libclang-rt-[0-9]+-dev$' | sort -V | tail -1 | cut -d' ' -f1)
    apt-get install -y clang "${rt:-libclang-rt-dev}"
fi
# The language server's target needs nlohmann-json.
if [ ! -f /usr/include/nlohmann/json.hpp ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y --no-install-recommends nlohmann-json3-dev
fi
command -v cmake >/dev/null && command -v ninja >/dev/null

cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVLC3_FUZZ=ON -DVLC3_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target compile_fuzzer dump_fuzzer export_fuzzer lsp_fuzzer

seconds=$((minutes * 60))
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
pids=()
for target in "${targets[@]}"; do
    mkdir -p "fuzz/work/$target" "fuzz/findings/$target"
    dict=()
    [ "$target" = compile ] && dict=(-dict="$PWD/fuzz/vls.dict")
    # Absolute names: the compile target runs each input in a directory of its own.
    "$build/fuzz/${target}_fuzzer" "$PWD/fuzz/work/$target" "$PWD/fuzz/corpus/$target" "${dict[@]}" \
        -max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-1}" -rss_limit_mb=2048 -max_len=8192 \
        -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
        -artifact_prefix="$PWD/fuzz/findings/$target/" \
        >"fuzz/findings/$target.log" 2>&1 </dev/null &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
for target in "${targets[@]}"; do
    echo "== $target: $(grep -E '^#[0-9]+' "fuzz/findings/$target.log" | tail -1)"
    if compgen -G "fuzz/findings/$target/*" >/dev/null; then
        echo "findings in fuzz/findings/$target:"
        ls "fuzz/findings/$target"
        status=1
    fi
done
# Each finding is replayed once, so that the log shows the input (as hex) and
# the fault's report even where the findings directory is out of reach.
for target in "${targets[@]}"; do
    for finding in fuzz/findings/"$target"/*; do
        [ -f "$finding" ] || continue
        echo "== replay of $finding ($(wc -c <"$finding") bytes):"
        od -An -tx1 -v "$finding" | head -c 8000 || true
        timeout 60 "$build/fuzz/${target}_fuzzer" "$finding" 2>&1 | grep -v -E '^(INFO|Running|Executed|MERGE)' | tail -40 || true
    done
done
exit $status
