# Thin wrapper over CMake. `make run` and `make test` work on a fresh machine.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60
CMAKE_GEN  := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

WIN32_BUILD ?= build-win32
WIN64_BUILD ?= build-win64
# Wine's 64-bit loader: Debian installs it outside PATH.
WINE       ?= $(shell command -v wine64 2>/dev/null || echo /usr/lib/wine/wine64)
WINEPREFIX ?= $(abspath $(WIN64_BUILD))/wineprefix
WINE_ENV   := WINEPREFIX=$(WINEPREFIX) WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

.PHONY: all build deps run test asan tsan fuzz fuzz-config fuzz-dbc fuzz-ldf bench clean
.PHONY: windows windows-test windows-exports windows-tools

all: build

# The command-line host needs two header-only libraries (Debian packages).
CLI_DEPS := /usr/include/CLI/CLI.hpp:libcli11-dev /usr/include/nlohmann/json.hpp:nlohmann-json3-dev
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
deps:
	@missing=""; for dep in $(CLI_DEPS); do [ -f "$${dep%%:*}" ] || missing="$$missing $${dep##*:}"; done; \
	  if [ -n "$$missing" ]; then echo "installing$$missing"; \
	    $(SUDO) apt-get update && $(SUDO) apt-get install -y $$missing; fi

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Checks the bundled example configuration, converts it and shows what it holds.
run: build
	@echo "== zor --version"; $(BUILD)/bin/zor --version
	@echo "== zor info examples/can_lin.xml"; $(BUILD)/bin/zor info examples/can_lin.xml || true
	@echo "== zor check examples/can_lin.xml"; $(BUILD)/bin/zor check examples/can_lin.xml || true
	@echo "== zor convert examples/can_lin.xml $(BUILD)/can_lin.out.xml"; \
	  $(BUILD)/bin/zor convert examples/can_lin.xml $(BUILD)/can_lin.out.xml && echo "written $(BUILD)/can_lin.out.xml"

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

asan:
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DZOR_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The load reads items on one thread while another parses the file.
tsan:
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOR_SANITIZE_THREAD=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# Builds the fuzz targets with clang and libFuzzer, then runs one:
# $(call fuzz-run,TARGET,CORPUS,DICTIONARY).
define fuzz-run
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DZOR_FUZZ=ON -DZOR_BUILD_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(1)
	mkdir -p $(FUZZ_BUILD)/$(2)
	$(FUZZ_BUILD)/bin/$(1) $(FUZZ_BUILD)/$(2) fuzz/$(2) \
	  -dict=fuzz/$(3) -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048
endef

# The XML document reader.
fuzz:
	$(call fuzz-run,document_fuzzer,corpus,xml.dict)

# The whole configuration loader (load, check, LIN diagnostics, save) on fuzzed files.
fuzz-config:
	$(call fuzz-run,config_fuzzer,config_corpus,xml.dict)

# The DBC reader (import, check, export, import of the export) on fuzzed files.
fuzz-dbc:
	$(call fuzz-run,dbc_fuzzer,dbc_corpus,dbc.dict)

# The LDF reader and writer (import, check, export, re-import) on fuzzed description files.
fuzz-ldf:
	$(call fuzz-run,ldf_fuzzer,ldf_corpus,ldf.dict)

# The benchmarks (BENCH_ARGS, e.g. --benchmark_filter=Save, go to them), then the
# whole-load, save and peak-memory ratios against pugixml on generated configurations of
# RATIO_SIGNALS signals. The ratio script lives in the shared folder beside the checkout
# (../shared/bench), found from a linked worktree too through the repository's common git
# folder; RATIO_SCRIPT=path overrides.
RATIO_SIGNALS ?= 10000 100000
BENCH_ARGS    ?=
RATIO_SCRIPT  ?= $(firstword $(wildcard $(CURDIR)/../shared/bench/ratio.sh \
  $(dir $(shell git rev-parse --path-format=absolute --git-common-dir 2>/dev/null))../shared/bench/ratio.sh))

bench:
	cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DZOR_BUILD_BENCH=ON -DZOR_BUILD_TESTS=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	$(BENCH_BUILD)/bin/zor_bench $(BENCH_ARGS)
	@if [ -n "$(RATIO_SCRIPT)" ] && [ -f "$(RATIO_SCRIPT)" ]; then \
	  echo "== ratios against pugixml ($(RATIO_SCRIPT) $(BENCH_BUILD) $(RATIO_SIGNALS))"; \
	  bash "$(RATIO_SCRIPT)" $(BENCH_BUILD) $(RATIO_SIGNALS); \
	else \
	  echo "== ratios against pugixml NOT measured: the ratio script shared/bench/ratio.sh was not found" \
	    "beside the checkout; run 'make bench RATIO_SCRIPT=/path/to/ratio.sh'"; \
	fi

# Windows: zor.dll (with zor.def and its import library libzor.dll.a) and
# zor.exe, cross-built with MinGW-w64 for i686 (the 32-bit DLL, cdecl) in
# $(WIN32_BUILD)/bin and for x86_64 in $(WIN64_BUILD)/bin.
windows: windows-tools
	@test -f $(WIN32_BUILD)/CMakeCache.txt || cmake -S . -B $(WIN32_BUILD) $(CMAKE_GEN) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake \
	  -DZOR_WINDOWS_ARCH=i686 -DZOR_BUILD_TESTS=OFF
	cmake --build $(WIN32_BUILD) -j $(JOBS) --target zor zor_cli
	@test -f $(WIN64_BUILD)/CMakeCache.txt || cmake -S . -B $(WIN64_BUILD) $(CMAKE_GEN) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake \
	  -DZOR_WINDOWS_ARCH=x86_64
	cmake --build $(WIN64_BUILD) -j $(JOBS) --target zor zor_cli

# The export tables of both DLLs against the names of the C interface (zor/zor.h).
windows-exports: windows
	cmake --build $(WIN32_BUILD) --target check_exports
	cmake --build $(WIN64_BUILD) --target check_exports

# The C host test, the GoogleTest suite and the CLI tests under Wine, against
# the x86_64 build (Wine's 32-bit loader does not run here).
windows-test: windows-exports
	cmake --build $(WIN64_BUILD) -j $(JOBS)
	@test -f $(WINEPREFIX)/system.reg || { echo "== creating the Wine prefix $(WINEPREFIX)"; \
	  $(WINE_ENV) $(WINE) wineboot --init && $(WINE_ENV) wineserver -w; }
	cd $(WIN64_BUILD) && $(WINE_ENV) ctest --output-on-failure -j $(JOBS)

# Installs the cross compilers, Wine and GoogleTest's sources when missing
# (one apt-get update, then one install).
windows-tools:
	@missing=""; \
	command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1 || missing="$$missing g++-mingw-w64-i686"; \
	command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || missing="$$missing g++-mingw-w64-x86-64"; \
	command -v $(WINE) >/dev/null 2>&1 || missing="$$missing wine wine64"; \
	test -f /usr/src/googletest/CMakeLists.txt || missing="$$missing googletest"; \
	if [ -n "$$missing" ]; then \
	  echo "== installing:$$missing"; \
	  sudo=; [ "$$(id -u)" = 0 ] || sudo=sudo; \
	  $$sudo apt-get update && \
	  $$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(WIN32_BUILD) $(WIN64_BUILD)
