# make run  - install what is missing, build, start the program on demo/
#             (or on another game root: make run ROOT=docs/examples/hello)
# make test - install what is missing, build the sanitizer test build, run every test
# make build - build only; the program ends up at build/bin/quarvelin
BUILD_DIR ?= build
TEST_DIR ?= build-test
JOBS ?= $(shell nproc)
ROOT ?= demo

.PHONY: setup build run test bench clean

setup:
	@bash scripts/setup.sh

build: setup
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@bash scripts/run-root.sh $(BUILD_DIR)/bin/quarvelin $(ROOT)

test: setup
	@cmake -S . -B $(TEST_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUARVELIN_SANITIZE=ON >/dev/null
	@cmake --build $(TEST_DIR) -j $(JOBS)
	@cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)

bench: build
	@bash scripts/run-bench.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(TEST_DIR)
