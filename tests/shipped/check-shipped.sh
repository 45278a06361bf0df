#!/usr/bin/env bash
# What is shipped, checked as a user gets it: the packages CPack makes in the dist build, and the
# tarball the build makes.
#   - the zip lists exactly kqwizard.exe, kqconvert.exe, 使用说明.txt and SHA256SUMS, and the
#     checksums match; each .exe imports only DLLs of Windows itself, is under 1 MiB, and runs
#     under Wine (kqconvert.exe --version; the wizard opens on its first page);
#   - the .deb passes dpkg-deb --info and --contents and lintian says nothing about it; its
#     kqconvert, unpacked with dpkg -x, converts the demo site (a dry run with --diff, then a real
#     run) byte for byte as the build's own kqconvert does; its manual page renders without
#     warnings;
#   - the tarball for Linux hosts holds exactly kqconvert, kqconvert.1, 使用说明.txt and
#     SHA256SUMS in its folder, owned by 0 with fixed modes, and the checksums match; its
#     kqconvert is linked statically (no program interpreter, no shared library) and stripped,
#     and in a root that holds nothing but it and the demo site, run as an unprivileged user, it
#     gives byte for byte what the .deb's kqconvert gives; so it does with the system calls newer
#     than Linux 3.2 failing as that kernel fails them (strace injects the failures).
#
#   check-shipped.sh DIST_BUILD_DIR WINDOWS_BUILD_DIR
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd) || exit 2
repo=$(cd "$here/../.." && pwd) || exit 2
dist=$(realpath "$1") || exit 2
windows=$(realpath "$2") || exit 2
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dist/CMakeCache.txt")
# shellcheck source=SCRIPTDIR/../support/scratch-folder.sh
source "$repo/tests/support/scratch-folder.sh"
scratch_folder kq-shipped

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The build first: it brings the programs, the documents and the tarball up to date, and configures
# the folder again if the sources' date has moved on, which cpack, which only reads the
# configuration, does not.
(cd "$dist" && cmake --build "$dist" >"$work/cpack.log" 2>&1 &&
    umask 022 && cpack >>"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; fail "the build or cpack failed"; exit 1; }
zip=$dist/packages/kqwizard-$version-windows-x64.zip
deb=$dist/packages/kqconvert_${version}_amd64.deb
tarball=$dist/packages/kqconvert-$version-linux-x86_64.tar.gz

# runs NAME COMMAND...: COMMAND --dry-run --diff site, then COMMAND site, where site is a copy of
# the demo site in the current folder (so that any message naming the folder reads the same in
# every run); the output of each, then its exit status, in $work/NAME.dry and $work/NAME.real.
runs() {
    local name=$1
    shift
    "$@" --dry-run --diff site >"$work/$name.dry" 2>&1
    echo "exit status $?" >>"$work/$name.dry"
    "$@" site >"$work/$name.real" 2>&1
    echo "exit status $?" >>"$work/$name.real"
}

# same_runs NAME WHAT SITE: the runs NAME gave the output and exit status that the .deb's gave, and
# left SITE as the .deb's left its copy.
same_runs() {
    cmp -s "$work/deb.dry" "$work/$1.dry" || fail "$2: its dry run with --diff differs from the .deb's"
    cmp -s "$work/deb.real" "$work/$1.real" || fail "$2: its report or exit status differs from the .deb's"
    diff -r "$work/deb/site" "$3" >/dev/null || fail "$2: it converts differently from the .deb's"
}

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
for who in deb built; do
    mkdir "$work/$who" && cp -R "$repo/examples/demo-site" "$work/$who/site"
done
(cd "$work/deb" && runs deb "$work/root/usr/bin/kqconvert")
(cd "$work/built" && runs built "$dist/src/app/kqconvert")
same_runs built "the build's own kqconvert" "$work/built/site"
diff -rq "$work/deb/site" "$repo/examples/demo-site" >/dev/null && fail "the demo site was not converted"
warnings=$(MANWIDTH=80 man --warnings -l "$work/root/usr/share/man/man1/kqconvert.1.gz" 2>&1 >/dev/null)
[[ -z $warnings ]] || fail "man -l warns: $warnings"

# --- the tarball for Linux hosts ---
top=kqconvert-$version
listed=$(tar --quoting-style=literal --numeric-owner -tvzf "$tarball" | awk '{print $1, $2, $6}' | sort)
expected=$(sort <<EOF
drwxr-xr-x 0/0 $top/
-rw-r--r-- 0/0 $top/SHA256SUMS
-rwxr-xr-x 0/0 $top/kqconvert
-rw-r--r-- 0/0 $top/kqconvert.1
-rw-r--r-- 0/0 $top/使用说明.txt
EOF
)
[[ $listed == "$expected" ]] || fail "the tarball holds: $listed"
mkdir "$work/tarball" && tar -xzf "$tarball" -C "$work/tarball" || fail "the tarball does not unpack"
unpacked=$work/tarball/$top
summed=$(cut -c 67- "$unpacked/SHA256SUMS" | sort | tr '\n' ' ')
[[ $summed == "kqconvert kqconvert.1 使用说明.txt " ]] || fail "the tarball's SHA256SUMS lists: $summed"
(cd "$unpacked" && sha256sum --quiet -c SHA256SUMS) || fail "the tarball's SHA256SUMS does not match"
host=$unpacked/kqconvert
readelf -hW "$host" | grep -q 'Machine: *Advanced Micro Devices X86-64' ||
    fail "the tarball's kqconvert is not for x86-64"
readelf -lW "$host" | grep -q INTERP && fail "the tarball's kqconvert needs a program interpreter"
readelf -dW "$host" | grep -q NEEDED && fail "the tarball's kqconvert needs shared libraries"
readelf -SW "$host" | grep -q '\.symtab' && fail "the tarball's kqconvert is not stripped"
zcat "$work/root/usr/share/man/man1/kqconvert.1.gz" | cmp -s - "$unpacked/kqconvert.1" ||
    fail "the tarball's manual page is not the .deb's"
notes=$unpacked/使用说明.txt
iconv -f UTF-8 -t UTF-8 "$notes" >/dev/null 2>&1 && ! grep -q $'\r' "$notes" &&
    [[ $(head -c 3 "$notes" | od -An -tx1 | tr -d ' ') != efbbbf ]] ||
    fail "the tarball's 使用说明.txt is not UTF-8 with LF line ends and no byte-order mark"
grep -q '@[A-Z_]\+@' "$notes" && fail "the tarball's 使用说明.txt has unfilled places: $(grep -o '@[A-Z_]\+@' "$notes")"

# In a root that holds nothing but the program and a copy of the demo site: no /lib, no /usr, no
# /etc, no /proc. As root, chroot enters it under nobody's user and group, to whom the copy is
# given; otherwise a user namespace of its own does, whose user is no one of the system (nothing
# is mapped to it) and has no privilege there either.
empty=$work/empty-root
mkdir -m 755 "$empty" && cp "$host" "$empty/kqconvert" &&
    cp -R "$repo/examples/demo-site" "$empty/site" || fail "the empty root could not be made"
# Whether the system lets this user do either is asked with true in the real root, so that a
# program that fails in the empty root fails the check rather than skipping it.
in_empty_root=()
if ((EUID == 0)) && chroot --userspec=65534:65534 / true 2>/dev/null; then
    chown -R 65534:65534 "$empty/site" && in_empty_root=(chroot --userspec=65534:65534 "$empty")
elif unshare --user --root=/ --wd=/ true 2>/dev/null; then
    in_empty_root=(unshare --user --root="$empty" --wd=/)
fi
if ((${#in_empty_root[@]} > 0)); then
    (cd "$empty" && runs empty "${in_empty_root[@]}" /kqconvert)
    same_runs empty "the tarball's kqconvert in an empty root" "$empty/site"
else
    echo "skipped: needs root (or user namespaces): the tarball's kqconvert in an empty root"
fi
# The calls that the program and its C library make and Linux 3.2 lacks: faccessat2 (5.8),
# getrandom (3.17), rseq (4.18), and madvise's MADV_POPULATE_WRITE (5.14), which it refuses.
mkdir "$work/old-kernel" && cp -R "$repo/examples/demo-site" "$work/old-kernel/site"
(cd "$work/old-kernel" && runs old-kernel strace -f -qq -o /dev/null \
    -e trace=faccessat2,getrandom,rseq,madvise -e inject=faccessat2,getrandom,rseq:error=ENOSYS \
    -e inject=madvise:error=EINVAL "$host")
same_runs old-kernel "the tarball's kqconvert without the calls newer than Linux 3.2" \
    "$work/old-kernel/site"

((failures == 0)) || { echo "$failures check(s) failed"; exit 1; }
echo "all checks held"
