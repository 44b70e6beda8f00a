# make run        - install what is missing, build the program, start it on demo/
#                   (or on another game root: make run ROOT=docs/examples/hello)
# make build      - build the program only; it ends up at build/bin/quarvelin
# make test       - build the tests with the sanitizers (g++, build-test/) and the fuzzers
#                   (clang, build-fuzz/), then run every test and a short run of every fuzzer
# make test-plain - build and run the same tests without sanitizers (build/, beside the program)
# make fuzz       - long fuzzing runs: FUZZ_SECONDS each (300), FUZZ_TARGETS="png tmx" for some
# make bench      - build the benchmarks without sanitizers and print their figures
BUILD_DIR ?= build
TEST_DIR ?= build-test
FUZZ_DIR ?= build-fuzz
JOBS ?= $(shell nproc)
ROOT ?= demo
FUZZ_SECONDS ?= 300
FUZZ_TARGETS ?=

configure-plain = cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

.PHONY: setup build run test test-plain fuzz-build fuzz bench clean

setup:
	@bash scripts/setup.sh

build: setup
	@$(configure-plain)
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target quarvelin

run: build
	@bash scripts/run-root.sh $(BUILD_DIR)/bin/quarvelin $(ROOT)

test: setup fuzz-build
	@cmake -S . -B $(TEST_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUARVELIN_SANITIZE=ON \
	  -DQUARVELIN_BENCH=OFF -DQUARVELIN_FUZZ_BUILD=$(abspath $(FUZZ_DIR)) >/dev/null
	@cmake --build $(TEST_DIR) -j $(JOBS)
	@cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)

test-plain: setup
	@$(configure-plain)
	@cmake --build $(BUILD_DIR) -j $(JOBS)
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

fuzz-build: setup
	@cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_BUILD_TYPE=Debug -DQUARVELIN_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target quarvelin_fuzzers

fuzz: fuzz-build
	@bash scripts/run-fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

bench: setup
	@$(configure-plain)
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target quarvelin_benchmarks
	@bash scripts/run-bench.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(TEST_DIR) $(FUZZ_DIR)
