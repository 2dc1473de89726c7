# The two set-up commands of the README:
#   make run    builds loadhawk and starts the monitor in the foreground
#   make test   installs what is missing, builds everything, runs every test
# and, for developers, make unit: the Linux build's unit tests alone

BUILD   ?= build
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
NATIVE  := $(BUILD)/native
RELEASE := $(BUILD)/release
WIN64   := $(BUILD)/win64
SANITIZE := $(BUILD)/sanitize
FUZZ_SECONDS ?= 600
SANITIZER_LOGS := $(abspath $(BUILD))/sanitizer-logs
RUNDIR  := $(BUILD)/run
PACKAGES := $(abspath $(BUILD))/packages
BENCHDIR := $(BUILD)/bench
WINE    := /usr/lib/wine/wine64
WINESERVER := /usr/lib/wine/wineserver
# the systemd test's root file system, kept between runs (made once, as root)
SYSTEMD_ROOT_CACHE ?= /var/cache/loadhawk-tests
export WINEPREFIX := $(abspath $(BUILD))/wineprefix
export WINEDEBUG := -all
export WINEDLLOVERRIDES := mscoree,mshtml=

.PHONY: all run test test-systemd unit deps deb build-deps unit-deps native release windows sanitize wineprefix fuzz package bench bench-sampling soak clean

all: native

deps:
	@scripts/install-deps

# what make run needs on a machine with only make and apt
build-deps:
	@scripts/install-deps build

unit-deps:
	@scripts/install-deps unit

native:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug -DLOADHAWK_WERROR=ON
	cmake --build $(NATIVE) -j $(JOBS)

release:
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DLOADHAWK_TESTS=OFF
	cmake --build $(RELEASE) -j $(JOBS) --target loadhawk

windows:
	cmake -S . -B $(WIN64) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake \
	      -DCMAKE_BUILD_TYPE=Release -DLOADHAWK_WERROR=ON
	cmake --build $(WIN64) -j $(JOBS)

# clang with AddressSanitizer, UndefinedBehaviorSanitizer (leak detection on)
# and the libFuzzer targets
sanitize:
	CC=clang CXX=clang++ cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOADHAWK_WERROR=ON \
	      -DLOADHAWK_SANITIZE=ON -DLOADHAWK_FUZZ=ON
	cmake --build $(SANITIZE) -j $(JOBS)

fuzz: sanitize
	tests/fuzz/run-fuzzers $(SANITIZE) $(FUZZ_SECONDS)

# the .deb (from the Release build) and the Windows zip
package: release windows
	cmake --build $(RELEASE) --target manpage
	cd $(RELEASE) && cpack -G DEB -B $(PACKAGES)
	cd $(WIN64) && cpack -G ZIP -B $(PACKAGES)
	@ls $(PACKAGES)/*.deb $(PACKAGES)/*.zip

# the .deb alone, with only the packages its build needs
deb:
	@scripts/install-deps deb
	$(MAKE) release
	cmake --build $(RELEASE) --target manpage
	cd $(RELEASE) && cpack -G DEB -B $(PACKAGES)
	@ls $(PACKAGES)/*.deb

# a private Wine prefix under the build folder, made once before the tests
wineprefix:
	@mkdir -p $(WINEPREFIX)
	@# one persistent wineserver for the whole run (each Wine start then takes
	@# milliseconds); it fails harmlessly when one already serves this prefix
	@$(WINESERVER) -p 2>/dev/null || true
	@$(WINE) cmd.exe /c exit 0 >/dev/null 2>&1 || { echo "loadhawk: Wine cannot start" >&2; exit 1; }

run: build-deps
	$(MAKE) release
	@mkdir -p $(RUNDIR)
	@# the first time only, so edits there stay; a 5-second cycle shows the
	@# first report within seconds (the example's 60 suits a real machine)
	@[ -f $(RUNDIR)/loadhawk_setup.txt ] || \
	    sed 's/^interval : "60"/interval : "5"/' examples/loadhawk_setup.txt > $(RUNDIR)/loadhawk_setup.txt
	@# the notification settings hold secrets: owner-only
	@[ -f $(RUNDIR)/loadhawk_email.txt ] || install -m 600 examples/loadhawk_email.txt $(RUNDIR)/
	@chmod 600 $(RUNDIR)/loadhawk_email.txt
	@echo "loadhawk: running in $(RUNDIR) (Ctrl-C stops it; the log is $(RUNDIR)/loadhawk_log.txt)"
	cd $(RUNDIR) && ../release/loadhawk

# the unit tests and the layer check of the Linux Debug build, without the
# end-to-end suites, the Windows build or the sanitizers
unit: unit-deps
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug -DLOADHAWK_WERROR=ON
	cmake --build $(NATIVE) -j $(JOBS) --target loadhawk_unit_tests loadhawk_allocation_tests
	cd $(NATIVE) && ctest -L unit --output-on-failure -j $(JOBS)

test: deps
	$(MAKE) native windows sanitize package
	$(MAKE) wineprefix
	cd $(NATIVE) && LOADHAWK_WIN_EXE=$(abspath $(WIN64))/loadhawk.exe LOADHAWK_REQUIRE_WINDOWS=1 \
	    LOADHAWK_PACKAGES=$(PACKAGES) LOADHAWK_SYSTEMD_ROOT=$$($(CURDIR)/scripts/systemd-test-root $(SYSTEMD_ROOT_CACHE)) \
	    ctest --output-on-failure -j $(JOBS); rc=$$?; $(WINESERVER) -k >/dev/null 2>&1; exit $$rc
	rm -rf $(SANITIZER_LOGS) && mkdir -p $(SANITIZER_LOGS)
	cd $(SANITIZE) && LOADHAWK_SANITIZER_LOG_DIR=$(SANITIZER_LOGS) \
	    ASAN_OPTIONS=detect_leaks=1:log_path=$(SANITIZER_LOGS)/asan \
	    UBSAN_OPTIONS=print_stacktrace=1:log_path=$(SANITIZER_LOGS)/ubsan \
	    ctest --output-on-failure -j $(JOBS)
	@if [ -n "$$(ls -A $(SANITIZER_LOGS))" ]; then cat $(SANITIZER_LOGS)/*; exit 1; fi
	tests/fuzz/run-fuzzers $(SANITIZE) 20

# only the .deb under systemd in a container (builds the package when missing)
test-systemd:
	@ls $(PACKAGES)/loadhawk_*.deb >/dev/null 2>&1 || $(MAKE) package
	LOADHAWK_PACKAGES=$(PACKAGES) LOADHAWK_REQUIRE_SYSTEMD=1 \
	    LOADHAWK_SYSTEMD_ROOT=$$($(CURDIR)/scripts/systemd-test-root $(SYSTEMD_ROOT_CACHE)) \
	    /usr/bin/python3 -m pytest -q -p no:cacheprovider tests/e2e/test_systemd.py

# the sampling benchmark (Google Benchmark): one cycle's walks and renders
# with 0, 500 and 2000 extra idle processes
bench-sampling:
	cmake -S . -B $(BENCHDIR) -DCMAKE_BUILD_TYPE=Release -DLOADHAWK_TESTS=OFF -DLOADHAWK_BENCH=ON \
	      -DLOADHAWK_WERROR=ON
	cmake --build $(BENCHDIR) -j $(JOBS) --target sampling_bench
	$(BENCHDIR)/sampling_bench

# loadhawk beside Monit (installed from Debian when missing, as root): CPU
# per cycle and peak memory with 0, 500 and 2000 extra idle processes, in
# the same windows; then the sampling benchmark. Takes about ten minutes.
OVERHEAD_ARGS ?=
bench: release
	bench/overhead --binary $(RELEASE)/loadhawk $(OVERHEAD_ARGS)
	$(MAKE) bench-sampling

# the soak run: the monitor natively and under Wine for SOAK_CYCLES one-second
# cycles with alerts firing and recovering; fails when descriptors, handles
# or resident memory grow
SOAK_CYCLES ?= 600
soak: native windows wineprefix
	bench/soak --cycles $(SOAK_CYCLES) --platform both --build $(BUILD)

clean:
	rm -rf $(BUILD)
