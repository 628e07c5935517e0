# The two commands that set everything up on a fresh machine:
#   make play   packages, build, data, then the game in a window
#   make test   the same set-up, then every test
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
SOAK_FRAMES ?= 1000000
# Leaks inside system libraries (not ours) are listed in tests/lsan.supp.
SANITIZER_ENV = LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: deps configure build play test bench fuzz soak test-sanitize clean

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
	$(SANITIZER_ENV) ctest --test-dir build-sanitize --output-on-failure -j $(JOBS)

# libFuzzer (clang): every harness for FUZZ_SECONDS from the generated seeds.
fuzz: deps
	@cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELLBORE_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build build-fuzz --target fuzzers -j $(JOBS)
	@bash fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

# The long soak: SOAK_FRAMES frames of random input over the shipped data.
soak: build
	@bash tests/soak/soak.sh $(BUILD) $(SOAK_FRAMES)

clean:
	rm -rf $(BUILD) build-sanitize build-fuzz
