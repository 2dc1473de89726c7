# The two set-up commands of the README:
#   make run    builds loadhawk and starts the monitor in the foreground
#   make test   installs what is missing, builds everything, runs every test

BUILD   ?= build
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
NATIVE  := $(BUILD)/native
RELEASE := $(BUILD)/release
WIN64   := $(BUILD)/win64
RUNDIR  := $(BUILD)/run
BENCHDIR := $(BUILD)/bench
WINE    := /usr/lib/wine/wine64
WINESERVER := /usr/lib/wine/wineserver
export WINEPREFIX := $(abspath $(BUILD))/wineprefix
export WINEDEBUG := -all
export WINEDLLOVERRIDES := mscoree,mshtml=

.PHONY: all run test deps native release windows wineprefix bench-sampling clean

all: native

deps:
	@scripts/install-deps

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

# a private Wine prefix under the build folder, made once before the tests
wineprefix:
	@mkdir -p $(WINEPREFIX)
	@$(WINE) cmd.exe /c exit 0 >/dev/null 2>&1 || { echo "loadhawk: Wine cannot start" >&2; exit 1; }
	@# one persistent wineserver for the whole run: each Wine start then takes milliseconds
	@$(WINESERVER) -p

run: release
	@mkdir -p $(RUNDIR)
	@for f in examples/loadhawk_setup.txt examples/loadhawk_email.txt; do \
	    [ -f $(RUNDIR)/$$(basename $$f) ] || cp $$f $(RUNDIR)/; done
	@echo "loadhawk: running in $(RUNDIR) (Ctrl-C stops it; the log is $(RUNDIR)/loadhawk_log.txt)"
	cd $(RUNDIR) && ../release/loadhawk

test: deps
	$(MAKE) native windows
	$(MAKE) wineprefix
	cd $(NATIVE) && LOADHAWK_WIN_EXE=$(abspath $(WIN64))/loadhawk.exe LOADHAWK_REQUIRE_WINDOWS=1 \
	    ctest --output-on-failure -j $(JOBS); rc=$$?; $(WINESERVER) -k >/dev/null 2>&1; exit $$rc

# the sampling benchmark (Google Benchmark): one cycle's walks and renders
# with 0, 500 and 2000 extra idle processes
bench-sampling:
	cmake -S . -B $(BENCHDIR) -DCMAKE_BUILD_TYPE=Release -DLOADHAWK_TESTS=OFF -DLOADHAWK_BENCH=ON \
	      -DLOADHAWK_WERROR=ON
	cmake --build $(BENCHDIR) -j $(JOBS) --target sampling_bench
	$(BENCHDIR)/sampling_bench

clean:
	rm -rf $(BUILD)
