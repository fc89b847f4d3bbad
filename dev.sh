#!/usr/bin/env bash
# Sets up what Saltwick needs on Debian 12 (as root), builds it, then starts the program
# or runs every test. Safe to run again and again.
#   bash dev.sh run [FILE]     build and start Saltwick, optionally with a file
#   bash dev.sh test           build and run all tests
#   bash dev.sh sanitize       build the tests with ASan and UBSan (Debug) and run them
#   bash dev.sh fuzz [SECONDS] build each fuzzer with clang and run it (default 60 s each)
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake make g++ qt6-base-dev qt6-qpa-plugins libgl-dev fonts-dejavu-core ffmpeg bsdutils e2fsprogs
          xfsprogs btrfs-progs qt6-l10n-tools qt6-tools-dev qt6-translations-l10n desktop-file-utils
          appstream libglib2.0-bin libcurl4-openssl-dev nginx python3 openssl clang libclang-rt-14-dev)
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -q
    # The fetch tests start nginx themselves, on 127.0.0.1 at a free port: the package's own
    # instance on port 80 must not start. policy-rc.d tells the package scripts so, for the
    # length of the install only.
    policy=/usr/sbin/policy-rc.d
    made_policy=""
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
        $sudo chmod 755 "$policy"
        made_policy=yes
        trap '$sudo rm -f "$policy"' EXIT
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
    if [ -n "$made_policy" ]; then
        $sudo rm -f "$policy"
        trap - EXIT
    fi
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSALTWICK_WERROR=ON >/dev/null
cmake --build build -j2

case "${1:-}" in
run)
    shift
    exec build/app/saltwick "$@"
    ;;
test)
    cd build
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
    ;;
sanitize | fuzz)
    # A Debug build of its own by clang, with AddressSanitizer and UBSan, for the tests and the
    # fuzzers: any undefined behaviour ends the program that meets it.
    CXX=clang++ cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DSALTWICK_FUZZ=ON \
        -DSALTWICK_WERROR=ON -DSALTWICK_BENCH=OFF >/dev/null
    ;;&
sanitize)
    cmake --build build-sanitize -j2
    cd build-sanitize
    echo "== the tests with AddressSanitizer and UBSan (Debug build by clang, build-sanitize/)"
    # Leaks are reported too, but for those the suppressions name.
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_stack_use_after_return=1:strict_string_checks=1 \
        LSAN_OPTIONS="suppressions=$PWD/../tests/sanitizer/leaks.supp:print_suppressions=0" \
        UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j2
    ;;
fuzz)
    seconds="${2:-60}"
    # Every fuzz-* target fuzz/CMakeLists.txt defines: its name, program, dictionary and seeds.
    list=build-sanitize/fuzz/fuzzers.txt
    mapfile -t targets < <(cut -f1 "$list")
    cmake --build build-sanitize -j2 --target "${targets[@]}"
    echo "== ${#targets[@]} fuzzers at once, each for $seconds s from its seeds in fuzz/seeds"
    pids=()
    while IFS=$'\t' read -r name program dictionary seeds; do
        work="build-sanitize/fuzz/run-$name"
        rm -rf "$work" && mkdir -p "$work/corpus"
        # New inputs go to the first folder, never into the seeds; a crash lands in $work.
        "$program" -max_total_time="$seconds" -artifact_prefix="$work/" \
            ${dictionary:+-dict="$dictionary"} "$work/corpus" "$seeds" >"$work/log" 2>&1 &
        pids+=($!)
    done <"$list"
    failed=0
    for pid in "${pids[@]}"; do
        wait "$pid" || failed=1
    done
    for name in "${targets[@]}"; do
        log="build-sanitize/fuzz/run-$name/log"
        runs=$(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$log" || true)
        coverage=$(grep -o 'DONE .*' "$log" | head -1 || true)
        echo "$name: ${runs:-no run count: it stopped} ${coverage:+($coverage)}"
        if [ -z "$runs" ]; then
            tail -40 "$log"
            failed=1
        fi
    done
    exit "$failed"
    ;;
*)
    echo "usage: bash dev.sh run [FILE] | bash dev.sh test | bash dev.sh sanitize |" \
         "bash dev.sh fuzz [SECONDS]" >&2
    exit 2
    ;;
esac
