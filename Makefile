# The README's commands. Each one installs what is missing first.
SHELL      := /bin/bash
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
BENCH_BUILD ?= build-release
FUZZ_SECONDS ?= 30
JOBS       ?= $(shell nproc)

.PHONY: deps deps-test deps-bench build run demo test check test-plain test-sanitized test-fuzz bench clean

deps:
	@tools/install-deps.sh build

deps-test:
	@tools/install-deps.sh build test

deps-bench:
	@tools/install-deps.sh build bench

# Every program a user runs and all that installing takes (the target "programs":
# the panel and its network line module, qx50-sim, qx50-send, qx50-rigctld, the icon
# and the manual pages), so cmake --install and cpack can follow make run directly.
# The tests, benchmarks and fuzzers (BUILD_TESTING) are left out of a first
# configure, so neither Qt Test nor the X headers are needed to run; the test
# commands turn them on, and make run still builds only these after them.
RUN_TARGETS := programs

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target $(RUN_TARGETS)

run: build
	./$(BUILD)/orma-qx50-voice-mem

demo: build
	tools/demo.sh $(BUILD)

.PHONY: demo-remote
demo-remote: build
	tools/demo-remote.sh $(BUILD)

# The quick answer a newcomer waits for: the plain build and its whole suite.
test: test-plain

# The full sweep CI runs: the quick test, then the suite again under AddressSanitizer
# and UndefinedBehaviorSanitizer, then each fuzz target for a bounded time.
check: test test-sanitized test-fuzz

test-plain: deps-test
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

$(ASAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQX50_SANITIZE=ON -DBUILD_TESTING=ON

test-sanitized: deps-test $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# Each fuzz target runs for a bounded time from its seed corpus; new inputs go to a
# scratch directory, never into the repository.
FUZZ_TARGETS := settings_text restore_settings rigctl_protocol rfc2217_stream web_request messages_file
$(FUZZ_BUILD)/build.ninja: | deps-test
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DQX50_FUZZ=ON -DBUILD_TESTING=ON

test-fuzz: deps-test $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@for target in $(FUZZ_TARGETS); do \
	  seeds=$(CURDIR)/tests/fuzz/seeds/$$target; \
	  scratch=$$(mktemp -d); mkdir $$scratch/corpus; \
	  echo "fuzz_$$target: $(FUZZ_SECONDS) s"; \
	  ( cd $$scratch && LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	    $(CURDIR)/$(FUZZ_BUILD)/tests/fuzz/fuzz_$$target -max_total_time=$(FUZZ_SECONDS) -timeout=5 \
	      -print_final_stats=1 $$scratch/corpus $$seeds 2>&1 | grep -E '^(Done|stat::number_of_executed_units)|ERROR|SUMMARY|crash-' ; \
	    exit $${PIPESTATUS[0]} ) || { echo "fuzz_$$target failed; see the crash file above"; exit 1; }; \
	  rm -rf $$scratch; \
	done; \
	echo "fuzz: $(words $(FUZZ_TARGETS)) passed, 0 failed"

$(BENCH_BUILD)/build.ninja: | deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON

bench: deps-bench $(BENCH_BUILD)/build.ninja
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target qx50-bench
	./$(BENCH_BUILD)/bench/qx50-bench
	./$(BENCH_BUILD)/bench/qx50-send-bench
	./$(BENCH_BUILD)/bench/qx50-rigctld-bench
	./$(BENCH_BUILD)/bench/qx50-reopen-bench
	./$(BENCH_BUILD)/bench/qx50-sound-bench
	./$(BENCH_BUILD)/bench/qx50-web-bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD)
