#!/usr/bin/env bash
# The packages are built a second time, from a copy of the sources (with their history, which
# dates them) in another folder, later, in another time zone, locale and umask: the two
# programs of a windows build and a dist build made there must give the zip, the .deb, the
# tarball for Linux hosts, both executables and the statically linked kqconvert byte for byte as
# the builds given.
#
#   check-reproducible.sh DIST_BUILD_DIR WINDOWS_BUILD_DIR
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) || exit 2
repo=$(cd "$here/../.." && pwd) || exit 2
dist=$(realpath "$1") || exit 2
windows=$(realpath "$2") || exit 2
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dist/CMakeCache.txt")
host=$(sed -n 's/^KQ_HOST_NAME:STRING=//p' "$windows/CMakeCache.txt")
# shellcheck source=SCRIPTDIR/../support/scratch-folder.sh
source "$repo/tests/support/scratch-folder.sh"
scratch_folder kq-again
copy=$work/sources-copied-elsewhere

mkdir "$copy" && tar -C "$repo" --exclude=./build -cf - . | tar -C "$copy" -xf - ||
    { echo "FAIL: the sources could not be copied"; exit 1; }
(cd "$dist" && cmake --build "$dist" >"$work/first.log" 2>&1 &&
    umask 022 && cpack >>"$work/first.log" 2>&1) ||
    { cat "$work/first.log"; echo "FAIL: the build or cpack in $dist"; exit 1; }
(
    cd "$copy" && umask 0002 && export TZ=Asia/Shanghai LC_ALL=C &&
        cmake --preset windows -DKQ_TESTS=OFF -DKQ_HOST_NAME="$host" &&
        cmake --build build/windows -j2 --target kqwizard kqconvert &&
        cmake --preset dist -DKQ_HOST_NAME="$host" && cmake --build --preset dist -j2 &&
        cd build/dist && umask 022 && cpack
) >"$work/again.log" 2>&1 || { cat "$work/again.log"; echo "FAIL: the second build"; exit 1; }

failures=0
same() {
    if cmp "$1" "$2"; then
        echo "the same: ${1##*/} $(sha256sum <"$1" | cut -d' ' -f1)"
    else
        failures=$((failures + 1))
    fi
}
for name in "kqwizard-$version-windows-x64.zip" "kqconvert_${version}_amd64.deb" \
    "kqconvert-$version-linux-x86_64.tar.gz"; do
    same "$dist/packages/$name" "$copy/build/dist/packages/$name"
done
same "$dist/src/app/static/kqconvert" "$copy/build/dist/src/app/static/kqconvert"
for name in kqwizard.exe kqconvert.exe; do
    same "$windows/src/app/$name" "$copy/build/windows/src/app/$name"
done
((failures == 0)) || { echo "FAIL: $failures file(s) differ between the two builds"; exit 1; }
echo "all checks held"
