# Thin wrapper over CMake. `make run` and `make test` work on a fresh machine.
BUILD      ?= build
ASAN_BUILD ?= build-asan
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

.PHONY: all build run test asan fuzz fuzz-config bench clean
.PHONY: windows windows-test windows-exports windows-tools

all: build

$(BUILD)/CMakeCache.txt:
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

fuzz:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DZOR_FUZZ=ON -DZOR_BUILD_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	mkdir -p $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/bin/document_fuzzer $(FUZZ_BUILD)/corpus fuzz/corpus \
	  -dict=fuzz/xml.dict -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048

# The whole configuration loader (load, check, LIN diagnostics, save) on fuzzed files.
fuzz-config:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DZOR_FUZZ=ON -DZOR_BUILD_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	mkdir -p $(FUZZ_BUILD)/config_corpus
	$(FUZZ_BUILD)/bin/config_fuzzer $(FUZZ_BUILD)/config_corpus fuzz/config_corpus \
	  -dict=fuzz/xml.dict -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048

bench:
	cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DZOR_BUILD_BENCH=ON -DZOR_BUILD_TESTS=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	$(BENCH_BUILD)/bin/zor_bench

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
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(WIN32_BUILD) $(WIN64_BUILD)
