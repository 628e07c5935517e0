# The two commands that set everything up on a fresh machine:
#   make play   packages, build, data, then the game in a window
#   make test   the same set-up, then every test
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: deps configure build play test bench fuzz test-sanitize clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

play: build
	cd $(BUILD) && ./quellbore $(ARGS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

bench: build
	@if [ -x $(BUILD)/quellbore-bench ]; then $(BUILD)/quellbore-bench; else echo "no benchmarks built"; fi

test-sanitize: deps
	@cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUELLBORE_SANITIZE=ON >/dev/null
	@cmake --build build-sanitize -j $(JOBS)
	ctest --test-dir build-sanitize --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) build-sanitize build-fuzz
