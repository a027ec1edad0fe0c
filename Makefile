# Set-up, build and test entry points. `make` builds the library, the two
# command-line tools and the examples, installing only their build
# dependencies. `make test` installs what it needs on a fresh Debian 12
# machine (when run as root), then builds and runs the whole suite twice (a
# plain build and an AddressSanitizer + UBSan build), runs each fuzz target
# briefly, and builds what users build: a Release tree with default options,
# a clang++ build taking the project in with add_subdirectory, and the Debian
# package with the shared library, which it checks and installs into scratch
# prefixes. Every build of `make test` treats warnings as errors.
# `make demo` runs a whole session between the command-line client and the
# SMSC simulator. `make package` builds the Debian package. `make bench`
# builds Release benchmarks in their own tree and prints their figures;
# `make fuzz` fuzzes each target for longer; `make soak` runs compressed long
# traffic (SOAK_SECONDS, default 180) and fails on lost PDUs or growing memory;
# `make reliability` runs 100,000 submissions across dropped connections.

JOBS ?= $(shell nproc)
BUILD_DIR ?= build
ASAN_DIR ?= build-asan
BENCH_DIR ?= build-bench
SOAK_DIR ?= build-soak
RELEASE_DIR ?= build-release
CLANG_DIR ?= build-clang
PACKAGE_DIR ?= build-package
SOAK_SECONDS ?= 180
# The throttle benchmark's run (make bench).
THROTTLE_SECONDS ?= 15
RELIABILITY_COUNT ?= 100000
# What building the library and the tools needs.
BUILD_PACKAGES := cmake g++ make libasio-dev libcli11-dev
# What the test suite needs besides. tshark: the wire check in tests/interop
# dissects a captured session with it (noninteractive install: its debconf
# question takes the default, no setuid). pkg-config, dpkg-dev (for
# dpkg-shlibdeps) and file: the installed-package and Debian package checks.
DEBIAN_PACKAGES := $(BUILD_PACKAGES) libgtest-dev libgmock-dev tshark pkg-config dpkg-dev file
BENCH_PACKAGES := $(DEBIAN_PACKAGES) libbenchmark-dev
# The npm peer of the end-to-end benchmark, installed into the bench tree.
NPM_PEER := smpp@0.5.1
# Fuzzing: clang and libFuzzer's runtime (libclang_rt.fuzzer-x86_64.a comes
# with libclang-rt-14-dev), in a tree of their own. `make fuzz` runs each
# target FUZZ_SECONDS; `make test` runs each FUZZ_BRIEF_SECONDS from the
# committed corpus, so that a regression fails the suite.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 300
FUZZ_BRIEF_SECONDS ?= 8
DEBIAN_PACKAGES += clang libclang-rt-14-dev
# The format check: every C++ file of the repository as .clang-format says.
DEBIAN_PACKAGES += clang-format
# The Debian package: Release, shared library, installed into /usr.
PACKAGE_OPTIONS := -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DCMAKE_INSTALL_PREFIX=/usr \
    -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_EXAMPLES=OFF
# make test's own builds: warnings are errors.
STRICT := -DKORVANE_WERROR=ON

.PHONY: all deps build-deps package-deps bench-deps build build-asan build-fuzz demo test test-plain test-asan \
        test-fuzz test-release test-clang test-package test-format package fuzz bench soak reliability clean

all: build

# Installs missing Debian packages; does nothing when all are present.
PACKAGES_deps = $(DEBIAN_PACKAGES)
PACKAGES_build-deps = $(BUILD_PACKAGES)
PACKAGES_package-deps = $(BUILD_PACKAGES) dpkg-dev file
PACKAGES_bench-deps = $(BENCH_PACKAGES)
deps build-deps package-deps bench-deps:
	@missing=$$(for p in $(PACKAGES_$@); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    if [ "$$(id -u)" = 0 ]; then \
	        echo "Installing:" $$missing; \
	        apt-get -o DPkg::Lock::Timeout=300 update -qq && DEBIAN_FRONTEND=noninteractive \
	            apt-get -o DPkg::Lock::Timeout=300 install -y -qq $$missing; \
	    else \
	        echo "Missing packages:" $$missing "- install them with: sudo apt-get install" $$missing; exit 1; \
	    fi; \
	fi

# The tree of `make`, `make demo` and `make test`: default options (the test
# suites when GoogleTest is there). `make test` turns on the tests and
# warnings as errors.
$(BUILD_DIR)/CMakeCache.txt: | build-deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON $(STRICT)

build: build-deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

build-asan: deps $(ASAN_DIR)/CMakeCache.txt
	cmake --build $(ASAN_DIR) -j $(JOBS)

# Builds the two command-line tools only, then runs a whole session between
# them on loopback.
demo: build-deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS) --target korvane-smpp korvane-smsc
	@scripts/demo.sh $(BUILD_DIR)/bin

test-plain: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_BUILD_TESTS=ON $(STRICT)
	cmake --build $(BUILD_DIR) -j $(JOBS)
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)

$(FUZZ_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	    -DKORVANE_BUILD_FUZZ=ON -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_TOOLS=OFF \
	    -DKORVANE_BUILD_EXAMPLES=OFF $(STRICT)

build-fuzz: deps $(FUZZ_DIR)/CMakeCache.txt
	cmake --build $(FUZZ_DIR) -j $(JOBS)

# Only the library and the fuzz targets: every program of that tree would have
# to link the sanitizer runtimes. One target at a time, one process each;
# crash inputs are kept in $(FUZZ_DIR)/fuzz-artifacts/ and their paths printed.
fuzz: build-fuzz
	fuzz/run_fuzzers.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

test-fuzz: build-fuzz
	fuzz/run_fuzzers.sh $(FUZZ_DIR) $(FUZZ_BRIEF_SECONDS) fresh

# What a user builds: a Release tree with default options (library, tools,
# examples; its tests are not run here, so not built).
test-release: deps
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DKORVANE_BUILD_TESTS=OFF $(STRICT)
	cmake --build $(RELEASE_DIR) -j $(JOBS)

# clang++ builds the library and the tools, taken in by a host project with
# add_subdirectory; the host checks the subproject's defaults and runs.
test-clang: deps
	cmake -S tests/install/subproject -B $(CLANG_DIR) -DCMAKE_CXX_COMPILER=clang++ \
	    -DCMAKE_BUILD_TYPE=Debug -DKORVANE_BUILD_TOOLS=ON $(STRICT)
	cmake --build $(CLANG_DIR) -j $(JOBS)
	$(CLANG_DIR)/subproject_host

# The Debian package: its files and control data, then the shared library
# installed into scratch prefixes for a find_package host and a pkg-config
# host (the package itself is never installed).
test-package: deps
	cmake -S . -B $(PACKAGE_DIR) $(PACKAGE_OPTIONS) $(STRICT)
	cmake --build $(PACKAGE_DIR) -j $(JOBS) --target package
	tests/package/check_deb.sh $(PACKAGE_DIR)
	cmake -DSOURCE_DIR=$(CURDIR) -DBUILD_DIR=$(PACKAGE_DIR) -DWORK_DIR=$(PACKAGE_DIR)/install-check \
	    -P tests/install/check_installed_package.cmake

# Fails, naming the files, when a tracked C++ file differs from .clang-format.
test-format: deps
	@git ls-files '*.cpp' '*.hpp' '*.h' | xargs clang-format --dry-run -Werror

test: test-format test-plain test-asan test-fuzz test-release test-clang test-package

$(PACKAGE_DIR)/CMakeCache.txt: | package-deps
	cmake -S . -B $(PACKAGE_DIR) $(PACKAGE_OPTIONS)

# korvane-smpp_<version>_<arch>.deb in $(PACKAGE_DIR). dpkg-shlibdeps (from
# dpkg-dev) and file work out its Depends.
package: package-deps $(PACKAGE_DIR)/CMakeCache.txt
	cmake --build $(PACKAGE_DIR) -j $(JOBS) --target package

$(BENCH_DIR)/CMakeCache.txt: | bench-deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DKORVANE_BUILD_BENCH=ON \
	    -DKORVANE_BUILD_TESTS=OFF

# Micro-benchmarks, then the end-to-end table. The npm peer runs only where
# node and npm are present.
bench: bench-deps $(BENCH_DIR)/CMakeCache.txt
	cmake --build $(BENCH_DIR) -j $(JOBS)
	@if command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1; then \
	    [ -d $(BENCH_DIR)/npm/node_modules/smpp ] || \
	    npm install --silent --no-audit --no-fund --prefix $(BENCH_DIR)/npm $(NPM_PEER) || \
	    echo "npm install $(NPM_PEER) failed: its row is skipped"; \
	else echo "node not found: the npm smpp row is skipped"; fi
	$(BENCH_DIR)/bench/korvane_micro_bench
	$(BENCH_DIR)/bench/korvane_e2e_bench --node-script=bench/node/smpp_submit.js \
	    --node-modules=$(BENCH_DIR)/npm/node_modules
	$(BENCH_DIR)/bench/korvane_window_bench
	$(BENCH_DIR)/bench/korvane_throttle_bench --seconds=$(THROTTLE_SECONDS)

$(SOAK_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(SOAK_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_BUILD_SOAK=ON \
	    -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_TOOLS=OFF -DKORVANE_BUILD_EXAMPLES=OFF

soak: deps $(SOAK_DIR)/CMakeCache.txt
	cmake --build $(SOAK_DIR) -j $(JOBS) --target korvane_soak
	SOAK_SECONDS=$(SOAK_SECONDS) $(SOAK_DIR)/soak/korvane_soak

# The reliability run: RELIABILITY_COUNT submissions with automatic rebind
# against korvane-smsc dropping the connection every 1,000 PDUs and
# throttling at 800/s; fails on a submission not completed exactly once, a
# text accepted twice or growing memory.
reliability: deps $(SOAK_DIR)/CMakeCache.txt
	cmake -S . -B $(SOAK_DIR) -DKORVANE_BUILD_TOOLS=ON
	cmake --build $(SOAK_DIR) -j $(JOBS) --target korvane_reliability korvane-smsc
	$(SOAK_DIR)/soak/korvane_reliability --smsc=$(SOAK_DIR)/bin/korvane-smsc --count=$(RELIABILITY_COUNT)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(BENCH_DIR) $(SOAK_DIR) $(FUZZ_DIR) $(RELEASE_DIR) $(CLANG_DIR) \
	    $(PACKAGE_DIR)
