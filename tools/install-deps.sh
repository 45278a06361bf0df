#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that building, testing, benchmarking and fuzzing
# need. Each package is checked by a command or a file it provides, so a machine that already has
# everything costs a few stat calls and no package-manager run at all.
set -euo pipefail

# Debian package, then what shows it is installed: a command name, or an absolute path (globs
# allowed, for paths that carry a version).
readonly required=(
    "cmake                       cmake"
    "ninja-build                 ninja"
    "g++                         g++"
    "libc6-dev                   /usr/lib/x86_64-linux-gnu/libc.a"
    "binutils                    readelf"
    "clang                       clang++"
    "clang-format                clang-format"
    "clang-tidy                  clang-tidy"
    "libclang-rt-14-dev          /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a"
    "libgtest-dev                /usr/include/gtest/gtest.h"
    "libgmock-dev                /usr/include/gmock/gmock.h"
    "googletest                  /usr/src/googletest/CMakeLists.txt"
    "libbenchmark-dev            /usr/include/benchmark/benchmark.h"
    "g++-mingw-w64-x86-64-posix  x86_64-w64-mingw32-g++-posix"
    "binutils-mingw-w64-x86-64   x86_64-w64-mingw32-objdump"
    "wine                        wine"
    "wine64                      /usr/lib/wine/wine64"
    "xvfb                        Xvfb"
    "xauth                       xauth"
    "fonts-arphic-uming          /usr/share/fonts/truetype/arphic/uming.ttc"
    "fonts-arphic-ukai           /usr/share/fonts/truetype/arphic/ukai.ttc"
    "fonts-wqy-zenhei            /usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"
    "perl                        perl"
    "strace                      strace"
    "libc-bin                    iconv"
    "imagemagick                 /usr/bin/convert"
    "dpkg-dev                    dpkg-shlibdeps"
    "lintian                     lintian"
    "man-db                      man"
    "unzip                       zipinfo"
    "python3                     python3"
    "lighttpd                    /usr/sbin/lighttpd"
    "apache2                     /usr/sbin/apache2"
    "apache2-suexec-pristine     /usr/lib/apache2/suexec-pristine"
    "libcgi-pm-perl              /usr/share/perl5/CGI.pm"
    "curl                        curl"
)

is_present() {
    local probe=$1
    if [[ $probe == /* ]]; then
        compgen -G "$probe" >/dev/null
    else
        command -v "$probe" >/dev/null
    fi
}

missing=()
for entry in "${required[@]}"; do
    read -r package probe <<<"$entry"
    is_present "$probe" || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
    echo "install-deps: all build and test dependencies are present"
    exit 0
fi

if ((EUID == 0)); then
    as_root=()
elif command -v sudo >/dev/null; then
    as_root=(sudo)
else
    echo "install-deps: missing packages: ${missing[*]}" >&2
    echo "install-deps: not running as root and sudo is not installed; install them as root" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
    -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold "${missing[@]}"

still_missing=()
for entry in "${required[@]}"; do
    read -r package probe <<<"$entry"
    is_present "$probe" || still_missing+=("$package (no $probe)")
done
if ((${#still_missing[@]} > 0)); then
    echo "install-deps: still missing after apt-get: ${still_missing[*]}" >&2
    exit 1
fi
# The tests start lighttpd and Apache themselves, on 127.0.0.1 only; the system service that
# each package starts and enables on a machine run by systemd would serve port 80 on every address.
for server in lighttpd apache2; do
    if [[ " ${missing[*]} " == *" $server "* && -d /run/systemd/system ]]; then
        echo "install-deps: stopping and disabling the $server system service (the tests run their own)"
        "${as_root[@]}" systemctl disable --now "$server.service" || true
    fi
done
echo "install-deps: done"
