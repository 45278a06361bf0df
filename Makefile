# Entry points for developers and CI. The real work is in CMakePresets.json and tools/*.sh; this
# file only puts the steps in order.
#
#   make deps    install the missing Debian packages (apt-get; sudo when not root)
#   make build   configure and build the linux, windows and dist presets
#   make test    deps, build, format-check, tidy, then the linux tests, the windows tests under Wine
#                and the packages
#   make check   the quick loop: build the linux preset and run its tests but the long fault suite
#   make format  clang-format every C++ file in place; make format-check only says what would change
#   make tidy    clang-tidy over src/ as the linux and windows builds compile it
#   make dist    the packages: kqwizard-<version>-windows-x64.zip, kqconvert_<version>_amd64.deb and
#                kqconvert-<version>-linux-x86_64.tar.gz
#   make install kqconvert, its manual page and the README (CMAKE_INSTALL_PREFIX, DESTDIR)
#   make bench   build the bench preset and run every benchmark, the site benchmark included
#   make bench-site  kqconvert against a Perl rewrite and a plain copy on a synthetic site
#   make demo    convert a copy of the demo forum and serve it on http://127.0.0.1:8080/ (PORT=)
#   make fuzz    build the fuzz preset and run every fuzz target (FUZZ_SECONDS each, default 60)
#   make run     build and open the wizard under Wine (on a virtual display when DISPLAY is unset)
#   make clean   remove the build folders of the presets

SHELL := /bin/bash
.SHELLFLAGS := -euo pipefail -c
JOBS ?= 2

.PHONY: all deps build test check format format-check tidy dist install bench bench-site demo fuzz \
	run clean

all: build

deps:
	tools/install-deps.sh

build: deps
	cmake --preset linux
	cmake --build --preset linux -j$(JOBS)
	cmake --preset windows
	cmake --build --preset windows -j$(JOBS)
	cmake --preset windows-long-host
	cmake --build --preset windows-long-host -j$(JOBS)
	cmake --preset dist
	cmake --build --preset dist -j$(JOBS)

test: deps build format-check
	tools/run-tidy.sh
	tools/run-tests.sh

# The linux tests without the traced fault suite, which alone takes over a minute; make test runs
# everything.
check: deps
	cmake --preset linux
	cmake --build --preset linux -j$(JOBS)
	ctest --preset linux -j$(JOBS) --exclude-regex '^faults-injected$$'

# Every C++ file of the sources, the tests, the benchmarks and the fuzz target, with .clang-format.
CXX_FILES = find src tests bench fuzz -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' \) -print0

format: deps
	$(CXX_FILES) | xargs -0 clang-format -i

format-check: deps
	$(CXX_FILES) | xargs -0 clang-format --dry-run -Werror

tidy: deps
	cmake --preset linux
	cmake --preset windows
	tools/run-tidy.sh

# The packages, in build/dist/packages: the zip and the .deb by CPack, the tarball for Linux hosts
# by the dist build itself. The umask gives the files CPack makes their modes, which the packages
# keep: 022, so that every build of a commit gives the same bytes (the tarball sets its own).
dist: deps build
	cd build/dist && umask 022 && cpack

CMAKE_INSTALL_PREFIX ?= /usr/local
DESTDIR ?=

install: deps
	cmake --preset dist -DCMAKE_INSTALL_PREFIX="$(CMAKE_INSTALL_PREFIX)"
	cmake --build --preset dist -j$(JOBS)
	DESTDIR="$(DESTDIR)" cmake --install build/dist --component kqconvert

# Only the benchmarks and what they need: the tests are not built in this preset.
bench: deps
	cmake --preset bench
	cmake --build --preset bench -j$(JOBS) --target bench/all
	tools/run-benchmarks.sh
	$(MAKE) --no-print-directory bench-site

# kqconvert (release build, in BENCH_BUILD) on synthetic sites in build/ and in memory, side by
# side with replace_unchanged (the least work of the same promise), bench/perl_rewrite.pl and a
# plain copy of the site.
BENCH_BUILD ?= build/bench

bench-site: deps
	cmake --preset bench -B $(BENCH_BUILD)
	cmake --build $(BENCH_BUILD) -j$(JOBS) --target kqconvert replace_unchanged
	bench/site_bench.sh $(BENCH_BUILD)/src/app/kqconvert $(BENCH_BUILD)/bench/replace_unchanged

# The demo forum converted in a copy, build/demo/site, and served by lighttpd on
# http://127.0.0.1:$(PORT)/ until Ctrl-C.
LINUX_BUILD ?= build/linux
PORT ?= 8080

demo: deps
	cmake --preset linux -B $(LINUX_BUILD)
	cmake --build $(LINUX_BUILD) -j$(JOBS) --target kqconvert
	tools/run-demo.sh $(LINUX_BUILD)/src/app/kqconvert $(PORT)

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j$(JOBS)
	tools/run-fuzzers.sh

# The wizard's targets build into WINDOWS_BUILD (the windows preset's folder unless given).
WINDOWS_BUILD ?= build/windows

run: deps
	cmake --preset windows -B $(WINDOWS_BUILD)
	cmake --build $(WINDOWS_BUILD) -j$(JOBS) --target kqwizard
	tools/run-wizard.sh $(WINDOWS_BUILD)

clean:
	rm -rf build/linux build/windows build/windows-long-host build/dist build/bench build/fuzz
