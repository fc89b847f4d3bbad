#!/usr/bin/env bash
# Sets up what Saltwick needs on Debian 12 (as root), builds it, then starts the program
# or runs every test. Safe to run again and again.
#   bash dev.sh run [FILE]     build and start Saltwick, optionally with a file
#   bash dev.sh test           build and run all tests
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake make g++ qt6-base-dev qt6-qpa-plugins libgl-dev fonts-dejavu-core ffmpeg bsdutils e2fsprogs
          xfsprogs btrfs-progs qt6-l10n-tools qt6-tools-dev qt6-translations-l10n desktop-file-utils
          appstream libcurl4-openssl-dev nginx python3 openssl)
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

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
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
*)
    echo "usage: bash dev.sh run [FILE] | bash dev.sh test" >&2
    exit 2
    ;;
esac
