# Top-level commands. Each one installs what is missing first.
BUILD_DIR      ?= build
SANITIZE_DIR   ?= build-sanitize
FUZZ_DIR       ?= build-fuzz
BENCH_DIR      ?= build-bench
PKG_DIR        ?= build-pkg
PREFIX         ?= /usr/local
FUZZ_SECONDS   ?= 100
CMAKE_FLAGS    ?=

.PHONY: all deps build test test-sanitize fuzz bench run build-release install package clean

all: build

deps:
	@bash scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure

test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR)
	ASAN_OPTIONS=halt_on_error=1:detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
		ctest --test-dir $(SANITIZE_DIR) --output-on-failure

fuzz: deps
	CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_FUZZ=ON
	cmake --build $(FUZZ_DIR)
	bash scripts/run-fuzz $(FUZZ_DIR)/bin $(FUZZ_SECONDS)

bench: deps
	cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BENCH=ON -DQUORVANE_TESTS=OFF
	cmake --build $(BENCH_DIR)
	bash scripts/run-bench $(BENCH_DIR)/bin

run: build
	bash scripts/run-with-device $(BUILD_DIR)/bin

# install and package share a Release build without tests in $(PKG_DIR). It is
# configured once (or again when CMAKE_FLAGS is given), so `sudo make install`
# after a build leaves no root-owned files behind.
build-release: deps
	@if [ ! -f $(PKG_DIR)/build.ninja ] || [ -n "$(CMAKE_FLAGS)" ]; then \
		echo "cmake -S . -B $(PKG_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF $(CMAKE_FLAGS)"; \
		cmake -S . -B $(PKG_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF $(CMAKE_FLAGS); \
	fi
	cmake --build $(PKG_DIR)

# make install [PREFIX=/usr/local] [DESTDIR=/staging/root]
install: build-release
	DESTDIR="$(DESTDIR)" cmake --install $(PKG_DIR) --prefix "$(PREFIX)" --strip

# The Debian package (quorvane_<version>_<arch>.deb) in $(PKG_DIR).
package: build-release
	rm -f $(PKG_DIR)/quorvane_*.deb
	cd $(PKG_DIR) && cpack -G DEB
	@echo "package: $$(realpath $(PKG_DIR)/quorvane_*.deb)"

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR) $(BENCH_DIR) $(PKG_DIR)
