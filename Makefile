# Quick start: `make test` installs what is needed, builds and runs every test;
# `make demo` shows the launcher at work; `make bench` prints the speed ratios.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build test fuzz bench demo clean

all: build

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j2 --timeout 900
	scripts/run-fuzz

fuzz: deps
	scripts/run-fuzz

bench: build
	scripts/run-bench $(BUILD)

demo: build
	scripts/demo $(BUILD)

clean:
	rm -rf $(BUILD) build-fuzz
