# Set-up, build and test entry points. `make test` installs what it needs on
# a fresh Debian 12 machine (when run as root), then builds and runs the whole
# suite twice: a plain build and an AddressSanitizer + UBSan build.

JOBS ?= $(shell nproc)
BUILD_DIR ?= build
ASAN_DIR ?= build-asan
DEBIAN_PACKAGES := cmake g++ make libasio-dev libgtest-dev libgmock-dev

.PHONY: all deps build build-asan test test-plain test-asan clean

all: build

# Installs missing Debian packages; does nothing when all are present.
deps:
	@missing=$$(for p in $(DEBIAN_PACKAGES); do \
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

test-plain: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)

test: test-plain test-asan

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)
