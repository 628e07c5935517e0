# The two commands that set everything up on a fresh machine:
#   make play   packages, build, data, then the game in a window
#   make test   the same set-up, then every test
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
SOAK_FRAMES ?= 1000000
# Where `make install` puts the game (DESTDIR is honoured for staging).
PREFIX ?= /usr/local
# Leaks inside system libraries (not ours) are listed in tests/lsan.supp.
SANITIZER_ENV = LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: deps configure build play install package test test-plain bench fuzz soak sanitize-build test-sanitize clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

play: build
	cd $(BUILD) && ./quellbore $(ARGS)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A .deb of the installed files, written into the build folder.
package: build
	cd $(BUILD) && cpack -G DEB

# Every test: the plain suite, then the sanitized one with the fuzzers' short runs.
test: test-plain test-sanitize

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

bench: build
	@if [ -x $(BUILD)/quellbore-bench ]; then $(BUILD)/quellbore-bench; else echo "no benchmarks built"; fi

# The sanitized build (clang, ASan + UBSan, libFuzzer coverage, -O1 so it
# stays quick): the whole suite under the sanitizers, with a short run of
# every fuzzer; `make fuzz` runs the same fuzzers for FUZZ_SECONDS each.
SANITIZE_BUILD = build-sanitize
sanitize-build: deps
	@cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQUELLBORE_SANITIZE=ON -DQUELLBORE_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g" >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)

test-sanitize: sanitize-build
	$(SANITIZER_ENV) ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j $(JOBS)

fuzz: sanitize-build
	@bash fuzz/run.sh $(SANITIZE_BUILD) $(FUZZ_SECONDS)

# The long soak: SOAK_FRAMES frames of random input over the shipped data.
soak: build
	@bash tests/soak/soak.sh $(BUILD) $(SOAK_FRAMES)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
