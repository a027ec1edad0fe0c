# Set-up, build and test entry points. `make test` installs what it needs on
# a fresh Debian 12 machine (when run as root), then builds and runs the whole
# suite twice: a plain build and an AddressSanitizer + UBSan build. `make bench`
# builds Release benchmarks in their own tree and prints their figures.

JOBS ?= $(shell nproc)
BUILD_DIR ?= build
ASAN_DIR ?= build-asan
BENCH_DIR ?= build-bench
# tshark: the wire check in tests/interop dissects a captured session with it
# (noninteractive install: its debconf question takes the default, no setuid).
DEBIAN_PACKAGES := cmake g++ make libasio-dev libgtest-dev libgmock-dev libcli11-dev tshark
BENCH_PACKAGES := $(DEBIAN_PACKAGES) libbenchmark-dev
# The npm peer of the end-to-end benchmark, installed into the bench tree.
NPM_PEER := smpp@0.5.1

.PHONY: all deps bench-deps build build-asan demo test test-plain test-asan bench clean

all: build

# Installs missing Debian packages; does nothing when all are present.
deps bench-deps: PACKAGES = $(if $(filter bench-deps,$@),$(BENCH_PACKAGES),$(DEBIAN_PACKAGES))
deps bench-deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    if [ "$$(id -u)" = 0 ]; then \
	        echo "Installing:" $$missing; \
	        apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	    else \
	        echo "Missing packages:" $$missing "- install them with: sudo apt-get install" $$missing; exit 1; \
	    fi; \
	fi

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

build-asan: deps $(ASAN_DIR)/CMakeCache.txt
	cmake --build $(ASAN_DIR) -j $(JOBS)

# Builds the two command-line tools only, then runs a whole session between
# them on loopback.
demo: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS) --target korvane-smpp korvane-smsc
	@scripts/demo.sh $(BUILD_DIR)/bin

test-plain: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)

test: test-plain test-asan

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

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(BENCH_DIR)
