# Front door of the project: every target first makes sure the Debian packages are there.
BUILD      ?= build
SANBUILD   ?= build-sanitize
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
BUILD_TYPE ?= RelWithDebInfo

.PHONY: all deps configure build run test test-sanitize install package bench clean

all: build

deps:
	@./tools/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_INSTALL_PREFIX=$(PREFIX)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/ostrivane

# Every test of the program, then the engine's tests once more under AddressSanitizer
# and UndefinedBehaviorSanitizer.
test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)
	$(MAKE) --no-print-directory test-sanitize

test-sanitize: deps
	cmake -S . -B $(SANBUILD) -DCMAKE_BUILD_TYPE=Debug -DOSTRIVANE_GUI=OFF -DOSTRIVANE_SANITIZE=ON
	cmake --build $(SANBUILD) -j$(JOBS)
	ctest --test-dir $(SANBUILD) --output-on-failure -j$(JOBS)

install: build
	cmake --install $(BUILD) --prefix $(DESTDIR)$(PREFIX)

package: build
	cd $(BUILD) && cpack -G DEB

bench: build
	$(BUILD)/bench/run-all.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(SANBUILD)
