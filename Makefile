# SPDX-License-Identifier: GPL-2.0-or-later
# make run: install what is missing, build, start the program.
# make test: the same set-up, then the whole suite.
# make bench: the same set-up, then bench/ratios (the program against the bare toolkit).
# make package: the same set-up, then the Debian package.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench package clean

all: build

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/padscreen

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure

bench: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target ratios_tools
	bash bench/ratios $(BUILD_DIR)

# The Debian package: $(BUILD_DIR)/padscreen_<version>_<arch>.deb
package: build
	cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR)
