# Tarvix 5: the two commands a new user needs are `make test` and `make run`.
SHELL := /bin/bash
JOBS  ?= $(shell nproc)
CMAKE_COMMON := -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
	$(if $(shell command -v ccache),-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

.PHONY: all deps test build run install package tsan fuzz bench format clean

all: build

deps:
	@scripts/install-deps

# Sanitized (ASan + UBSan) build of everything, then every test in parallel,
# then the GUI suites again with other fonts at a scale of 1.5; when clang is
# present, short libFuzzer runs as well.
test: deps
	cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DORV_SANITIZE=ON $(CMAKE_COMMON)
	cmake --build build/asan -j $(JOBS)
	cd build/asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest -j $(JOBS) --output-on-failure --no-tests=error --timeout 600
	scripts/test-gui-variant build/asan $(JOBS)
	@if command -v clang++ >/dev/null; then $(MAKE) --no-print-directory fuzz; fi

# Release build of the program and libraries.
build: deps
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DORV_TESTS=OFF $(CMAKE_COMMON)
	cmake --build build/release -j $(JOBS)

# ThreadSanitizer build; runs the tests labelled "concurrency".
tsan: deps
	cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DORV_TSAN=ON -DORV_GUI=OFF $(CMAKE_COMMON)
	cmake --build build/tsan -j $(JOBS)
	cd build/tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
		ctest -j $(JOBS) -L concurrency --output-on-failure --no-tests=ignore

# libFuzzer targets under clang with ASan and UBSan, each run briefly.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=Debug -DORV_SANITIZE=ON \
		-DORV_FUZZ=ON -DORV_TESTS=OFF -DORV_GUI=OFF $(CMAKE_COMMON)
	cmake --build build/fuzz -j $(JOBS) --target fuzzers
	cd build/fuzz && ctest -j $(JOBS) -L fuzz --output-on-failure --no-tests=ignore

# Benchmarks in a release build; each is a program build/bench/bench/bench_<name>.
bench: deps
	cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DORV_TESTS=OFF -DORV_BENCH=ON $(CMAKE_COMMON)
	cmake --build build/bench -j $(JOBS)

run: build
	ORV_SIMLAB=1 build/release/shell/tarvix5

# Installs the release build under PREFIX (default /usr/local; needs the
# rights to write there).
PREFIX ?= /usr/local
install: build
	cmake --install build/release --prefix "$(PREFIX)"

# The Debian package of the release build: build/release/tarvix5_<version>_<arch>.deb.
package: build
	cd build/release && cpack -G DEB
	@ls build/release/*.deb

# Formats every source file as .clang-format says (make test checks it).
format:
	@scripts/check-format --fix

clean:
	rm -rf build
