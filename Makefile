# Front door of the project: every target first makes sure the Debian packages are there.
BUILD      ?= build
SANBUILD   ?= build-sanitize
FUZZBUILD  ?= build-fuzz
PKGBUILD   ?= build-package
FUZZ_SECONDS ?= 15
FUZZ_TARGETS = fuzz_profile fuzz_timeofday fuzz_mask fuzz_exclusion fuzz_cabinet fuzz_reader
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
BUILD_TYPE ?= RelWithDebInfo

.PHONY: all deps deps-build configure build run test test-sanitize fuzz install package bench clean

all: build

deps:
	@./tools/install-deps.sh all

deps-build:
	@./tools/install-deps.sh build

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_INSTALL_PREFIX=$(PREFIX)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/ostrivane

# Every test of the program, then the engine's tests once more under AddressSanitizer
# and UndefinedBehaviorSanitizer, then a short run of every fuzz target.
test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)
	$(MAKE) --no-print-directory test-sanitize
	$(MAKE) --no-print-directory fuzz

test-sanitize: deps
	cmake -S . -B $(SANBUILD) -DCMAKE_BUILD_TYPE=Debug -DOSTRIVANE_GUI=OFF -DOSTRIVANE_SANITIZE=ON
	cmake --build $(SANBUILD) -j$(JOBS)
	ctest --test-dir $(SANBUILD) --output-on-failure -j$(JOBS)

# The libFuzzer targets (clang), each run for FUZZ_SECONDS with a fixed seed.
fuzz: deps
	cmake -S . -B $(FUZZBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	    -DCMAKE_CXX_COMPILER=clang++ -DOSTRIVANE_FUZZ=ON -DOSTRIVANE_GUI=OFF
	cmake --build $(FUZZBUILD) -j$(JOBS) --target $(FUZZ_TARGETS)
	tests/fuzz/run-fuzzers.sh $(FUZZBUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# DESTDIR stays apart from the prefix: the installed files (the systemd units) name the prefix.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package $(PKGBUILD)/ostrivane_<version>_<arch>.deb: only what is installed is built
# (no tests, no benchmarks), hardened with the flags of dpkg-buildflags, in a folder of its own.
package: deps-build
	packaging/make-deb.sh $(PKGBUILD) $(JOBS)

bench: build
	$(BUILD)/bench/run-all.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(SANBUILD) $(FUZZBUILD) $(PKGBUILD)
