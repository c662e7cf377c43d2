#!/usr/bin/env bash
# Builds the Debian package: a Release build of its own (in build-pkg, with the hardening
# flags Debian builds its packages with), the .deb from it with CPack, and lintian over it.
#   scripts/package.sh              # -> build-pkg/tk530_<version>_<arch>.deb
#   sudo apt install ./build-pkg/tk530_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}
BUILD=${BUILD:-build-pkg}

scripts/install-deps.sh

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
    -DTK_BUILD_TESTS=OFF -DTK_BUILD_BENCH=OFF \
    "-DCMAKE_C_FLAGS=$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
cmake --build "$BUILD" -j"$JOBS"
rm -f "$BUILD"/tk530_*.deb
(cd "$BUILD" && cpack -G DEB)
DEB=$(ls "$BUILD"/tk530_*.deb)

# Errors fail; the warnings accepted are listed with the reason in packaging/lintian-accepted.
suppress=$(sed -e '/^#/d' packaging/lintian-accepted | awk 'NF {print $1}' | paste -sd, -)
lint=(lintian --fail-on error --tag-display-limit 0)
[ -n "$suppress" ] && lint+=(--suppress-tags "$suppress")
"${lint[@]}" "$DEB"
echo "$DEB"
