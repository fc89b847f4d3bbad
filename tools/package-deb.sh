#!/usr/bin/env bash
# Builds Saltwick as Debian builds its packages, with dpkg-buildflags' flags (hardening on:
# fortified functions, stack protector, relro and bind-now), in build-deb/, and makes the
# Debian package there. Needs dpkg-dev besides what dev.sh installs.
#   bash tools/package-deb.sh        then: lintian build-deb/saltwick_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# CMake reads CXXFLAGS and LDFLAGS, not CPPFLAGS, where _FORTIFY_SOURCE comes from.
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS

# The flags count only when the folder is configured; start it afresh.
rm -rf build-deb
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
    -DBUILD_TESTING=OFF -DSALTWICK_BENCH=OFF >/dev/null
cmake --build build-deb -j2
cd build-deb
cpack -G DEB
