# Quick start: `make run` builds the engine and starts it on stdin/stdout;
# `make test` builds everything and runs every test.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test perft bench clean

all: build

# Build output goes to stderr so that `make run` leaves stdout to the protocol.
build:
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release >&2
	@cmake --build $(BUILD_DIR) -j $(JOBS) >&2

run: build
	@./$(BUILD_DIR)/tolvo

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: build
	@./$(BUILD_DIR)/tolvo-bench

clean:
	rm -rf $(BUILD_DIR)
