# Thin wrapper over CMake. `make run` and `make test` work on a fresh machine.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60
CMAKE_GEN  := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all build deps run test asan fuzz fuzz-config bench clean

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

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD)
