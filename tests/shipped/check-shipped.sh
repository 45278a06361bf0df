#!/usr/bin/env bash
# What is shipped, checked as a user gets it: the packages CPack makes in the dist build.
#   - the zip lists exactly kqwizard.exe, kqconvert.exe, 使用说明.txt and SHA256SUMS, and the
#     checksums match; each .exe imports only DLLs of Windows itself, is under 1 MiB, and runs
#     under Wine (kqconvert.exe --version; the wizard opens on its first page);
#   - the .deb passes dpkg-deb --info and --contents and lintian says nothing about it; its
#     kqconvert, unpacked with dpkg -x, converts the demo site byte for byte as the build's own
#     kqconvert does; its manual page renders without warnings.
#
#   check-shipped.sh DIST_BUILD_DIR WINDOWS_BUILD_DIR
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) || exit 2
repo=$(cd "$here/../.." && pwd) || exit 2
dist=$(realpath "$1") || exit 2
windows=$(realpath "$2") || exit 2
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dist/CMakeCache.txt")
work=$(mktemp -d /var/tmp/kq-shipped.XXXXXX) || exit 1
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

(cd "$dist" && umask 022 && cpack >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; exit 1; }
zip=$dist/packages/kqwizard-$version-windows-x64.zip
deb=$dist/packages/kqconvert_${version}_amd64.deb

# --- the zip ---
listed=$(zipinfo -1 "$zip" | sort | tr '\n' ' ')
[[ $listed == "$(printf '%s\n' SHA256SUMS kqconvert.exe kqwizard.exe 使用说明.txt | sort | tr '\n' ' ')" ]] ||
    fail "the zip holds: $listed"
mkdir "$work/zip" && unzip -q "$zip" -d "$work/zip" || fail "the zip does not unpack"
(cd "$work/zip" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"
readonly system_dlls=" advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll shell32.dll user32.dll version.dll "
for exe in kqwizard.exe kqconvert.exe; do
    size=$(stat -c %s "$work/zip/$exe")
    ((size < 1048576)) || fail "$exe is $size bytes, not under 1 MiB"
    while read -r dll; do
        [[ $system_dlls == *" ${dll,,} "* ]] || fail "$exe needs $dll, which Windows does not have"
    done < <(x86_64-w64-mingw32-objdump -p "$work/zip/$exe" | sed -n 's/^\s*DLL Name: //p')
done
source "$repo/tools/wine-env.sh" "$windows" && kq_wine_init || fail "no Wine prefix"
shown=$(wine "$work/zip/kqconvert.exe" --version </dev/null 2>&1 | tr -d '\r')
[[ $shown == "kqconvert $version" ]] || fail "kqconvert.exe --version says: $shown"
# The end-to-end driver's layout scenario: the wizard opens on its first page, whole.
"$repo/tests/e2e/run-e2e.sh" --driver "$windows/tests/e2e/kqwizard_e2e.exe" \
    --wizard "$work/zip/kqwizard.exe" --state "$windows/tests/e2e" layout >"$work/e2e.log" 2>&1 ||
    { cat "$work/e2e.log"; fail "the wizard from the zip does not open on its first page"; }

# --- the .deb ---
dpkg-deb --info "$deb" >"$work/info" || fail "dpkg-deb --info fails"
grep -q "^ Package: kqconvert$" "$work/info" || fail "the package is not named kqconvert"
contents=$(dpkg-deb --contents "$deb" | awk '{print $6}' | grep -v '/$' | sort | tr '\n' ' ')
doc=./usr/share/doc/kqconvert
[[ $contents == "./usr/bin/kqconvert $doc/README.md $doc/changelog.gz $doc/copyright ./usr/share/man/man1/kqconvert.1.gz " ]] ||
    fail "the package holds: $contents"
# Debian's own checker: not an error, not a warning (it says nothing then).
lintian --fail-on error,warning "$deb" >"$work/lintian" 2>&1 && ! grep -q '^[EW]:' "$work/lintian" ||
    fail "lintian: $(cat "$work/lintian")"
dpkg -x "$deb" "$work/root" || fail "dpkg -x fails"
for who in shipped built; do
    cp -R "$repo/examples/demo-site" "$work/$who"
done
"$work/root/usr/bin/kqconvert" "$work/shipped" >"$work/shipped.out" 2>&1
shipped_status=$?
"$dist/src/app/kqconvert" "$work/built" >"$work/built.out" 2>&1
built_status=$?
((shipped_status == built_status)) || fail "exit status $shipped_status, the build's own gives $built_status"
cmp -s "$work/shipped.out" "$work/built.out" || fail "the packaged kqconvert reports differently"
diff -r "$work/shipped" "$work/built" >/dev/null || fail "the packaged kqconvert converts differently"
diff -rq "$work/shipped" "$repo/examples/demo-site" >/dev/null && fail "the demo site was not converted"
warnings=$(MANWIDTH=80 man --warnings -l "$work/root/usr/share/man/man1/kqconvert.1.gz" 2>&1 >/dev/null)
[[ -z $warnings ]] || fail "man -l warns: $warnings"

((failures == 0)) || { echo "$failures check(s) failed"; exit 1; }
echo "all checks held"
