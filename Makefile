# Top-level commands. Each one installs what the machine lacks first.
#   make        build both DLLs, the monitor and the install guide into dist/
#   make demo   build, then fly a simulated flight through the real DLLs and
#               watch it with the monitor (demo/run-demo.sh)
#   make test   build and run every test (Wine tests and native core tests)
#   make bench  build and run the benchmarks under Wine: the table, and
#               build/bench.json
#   make fuzz   fuzz the plan scanner natively for FUZZ_SECONDS (default 60)
BUILD  := build
NATIVE := build-native
JOBS   ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build dist test test-wine test-native soak bench fuzz clean

all: dist

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake --preset mingw-i686

configure: $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

dist: build
	scripts/make-dist.sh $(BUILD) dist

.PHONY: demo
demo: build
	demo/run-demo.sh

test: test-wine test-native

test-wine: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Native (host clang) builds of the portable cores, with sanitizers.
test-native: deps
	@if [ -f tests/native/CMakeLists.txt ]; then \
	  cmake -S tests/native -B $(NATIVE) -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null && \
	  cmake --build $(NATIVE) -j $(JOBS) && \
	  ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS); \
	fi
	cmake -S tests/native_reader -B $(NATIVE)/native_reader -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	cmake --build $(NATIVE)/native_reader -j $(JOBS)
	ctest --test-dir $(NATIVE)/native_reader --output-on-failure -j $(JOBS)

# The long runs in full: a million frames, ten thousand plan cycles, a
# minute of a reader in another process.
soak: build
	SOAK_SCALE=50 ctest --test-dir $(BUILD) --output-on-failure -R 'hardening|soak' --timeout 3600

# Benchmarks under Wine, never part of make test: prints the table and
# writes the same figures to build/bench.json. The configure step runs again
# so that a tree configured before tests/bench existed picks it up.
bench: build
	cmake --preset mingw-i686 >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target bench_programs
	tests/bench/run_bench.sh $(BUILD)

# The plan fuzzer grows its own corpus in build-native/fuzz/corpus from the
# committed seeds; an input that breaks an invariant lands in
# build-native/fuzz/crashes/. Copy it into tests/native/corpus/plan/ so that
# make test replays it from then on.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake -S tests/native -B $(NATIVE) -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	cmake --build $(NATIVE) --target plan_fuzz
	@mkdir -p $(NATIVE)/fuzz/corpus $(NATIVE)/fuzz/crashes
	$(NATIVE)/plan_fuzz -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -max_len=8192 \
	  -dict=tests/native/plan.dict -artifact_prefix=$(NATIVE)/fuzz/crashes/ \
	  $(NATIVE)/fuzz/corpus tests/native/corpus/plan
	@echo "fuzz corpus: $$(ls $(NATIVE)/fuzz/corpus | wc -l) inputs; crashes: $$(ls $(NATIVE)/fuzz/crashes | wc -l)"

clean:
	rm -rf $(BUILD) $(NATIVE) dist
