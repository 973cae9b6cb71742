# Quick start: `make run` builds the engine and starts it on stdin/stdout;
# `make test` builds everything and runs every test.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

# The sanitizer builds, the fuzz build and each release build (Linux x86-64, Windows, Linux
# ARM64) have a directory of their own, so that none of them rebuilds the others.
ASAN_DIR ?= build-asan
TSAN_DIR ?= build-tsan
FUZZ_DIR ?= build-fuzz
LINUX_DIR ?= build-linux-x86-64
WINDOWS_DIR ?= build-windows
ARM64_DIR ?= build-linux-arm64
DIST_DIR ?= dist

# The release builds: link-time optimisation, static and stripped, no test suites. Each makes
# the engine and the tools that check it on its own platform; only the engine is shipped.
RELEASE_CONFIG = -DCMAKE_BUILD_TYPE=Release -DTOLVO_LTO=ON -DTOLVO_STATIC=ON -DTOLVO_TESTS=OFF
RELEASE_TARGETS = tolvo tolvo-bench tolvo-perft

# Seconds each fuzz target runs under `make fuzz`, and under `make test`.
FUZZ_SECONDS ?= 180
TEST_FUZZ_SECONDS ?= 20
FUZZ_CXX ?= clang++
# The tablebase prober is C: the same compiler family, for the same fuzzer and sanitizer flags.
FUZZ_CC ?= clang

QEMU_ARM64 ?= qemu-aarch64
WINE ?= /usr/lib/wine/wine64
WINESERVER ?= /usr/lib/wine/wineserver
# The Windows runtime layer keeps its own state beside the Windows build.
WINE_ENV = WINEPREFIX=$(abspath $(WINDOWS_DIR))/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# $(call need,FILE,PACKAGES): installs the Debian packages when FILE is missing, so that a
# fresh machine gets the cross compiler, the Windows runtime layer and the fuzzer runtime.
SUDO := $(if $(filter 0,$(shell id -u)),,sudo)
apt-install = echo "installing $(1)" >&2 && $(SUDO) apt-get update >&2 && \
	$(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $(1) >&2
need = test -e "$(1)" || { $(call apt-install,$(2)); }
need-command = command -v $(1) >/dev/null 2>&1 || { $(call apt-install,$(2)); }
# Training a network and the trainer's tests need Debian's torch and numpy, called through
# /usr/bin/python3 (the first python3 on PATH may not see Debian's packages); nothing else
# installs them.
PYTHON := /usr/bin/python3
need-torch = $(PYTHON) -c 'import torch, numpy' >/dev/null 2>&1 || \
	{ $(call apt-install,python3-torch python3-numpy); }

# `make train`: the records of TRAIN_DATA (directories of tolvo-datagen's *.bin files, files or
# globs, separated by blanks) become the network TRAIN_OUT with its float model beside it
# (.pt); TRAIN_FLAGS are passed on to tools/train/train.py.
TRAIN_DATA ?= data
TRAIN_OUT ?= networks/default.nnue
TRAIN_FLAGS ?=

.PHONY: all build run test perft bench sanitize tsan linux-x86-64 windows windows-smoke \
	arm64 arm64-smoke dist memcheck fuzz fuzz-build train clean

all: build

# Build output goes to stderr so that `make run` leaves stdout to the protocol. A bare Debian
# machine gets the compiler, CMake and GoogleTest first (the configure step looks for GoogleTest).
build:
	@$(call need-command,g++,g++)
	@$(call need-command,cmake,cmake)
	@$(call need,/usr/include/gtest/gtest.h,libgtest-dev)
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release >&2
	@cmake --build $(BUILD_DIR) -j $(JOBS) >&2

run: build
	@./$(BUILD_DIR)/tolvo

# The normal suite, then the same suites under the sanitizers, the Windows and ARM64 builds
# with their smoke sessions, and a short run of every fuzz target.
# Each stage prints the time it starts, so that a slow run shows where its time went.
stage = echo "make test: $(1) from $$(date -u +%T)" >&2
test: build
	@$(need-torch)
	@$(call stage,the suites)
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	@$(call stage,the sanitizers)
	@$(MAKE) --no-print-directory sanitize
	@$(call stage,the thread sanitizer)
	@$(MAKE) --no-print-directory tsan
	@$(call stage,Windows)
	@$(MAKE) --no-print-directory windows-smoke
	@$(call stage,ARM64)
	@$(MAKE) --no-print-directory arm64-smoke
	@$(call stage,the fuzz targets)
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(TEST_FUZZ_SECONDS)
	@$(call stage,done)

# Every suite under AddressSanitizer and UndefinedBehaviorSanitizer. The self-play games on a
# real clock are left out: the sanitizers slow the engine down by a factor that a game at one
# second plus ten milliseconds cannot absorb, and the referee's own tests still run here. The
# same build checks the network's accumulators against a rebuild at every evaluation of a
# search (the network-on bench signature and the network search tests run under it).
sanitize:
	@cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVO_SANITIZE=ON \
		-DTOLVO_CHECK_ACCUMULATORS=ON >&2
	@cmake --build $(ASAN_DIR) -j $(JOBS) >&2
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS) -E '^(SelfPlay\.Engine|Trainer\.)'

# Every suite under ThreadSanitizer: the whole suite at one thread, and the threads tests at
# two. The engines the tests start write their reports to files (a child's report would not
# reach the test's output), and any report fails the run.
tsan:
	@cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVO_TSAN=ON >&2
	@cmake --build $(TSAN_DIR) -j $(JOBS) >&2
	@rm -rf $(TSAN_DIR)/reports && mkdir -p $(TSAN_DIR)/reports
	cd $(TSAN_DIR) && TSAN_OPTIONS=halt_on_error=1:log_path=$(abspath $(TSAN_DIR))/reports/race \
		ctest --output-on-failure -j $(JOBS) -E '^(SelfPlay\.Engine|Trainer\.)'
	@if [ -n "$$(ls $(TSAN_DIR)/reports)" ]; then cat $(TSAN_DIR)/reports/* >&2; \
		echo "ThreadSanitizer reported the races above" >&2; exit 1; fi

# build-linux-x86-64/tolvo: the engine for any x86-64 Linux with popcnt.
linux-x86-64:
	@$(call need-command,g++,g++)
	@$(call need-command,cmake,cmake)
	@cmake -S . -B $(LINUX_DIR) $(RELEASE_CONFIG) >&2
	@cmake --build $(LINUX_DIR) -j $(JOBS) --target $(RELEASE_TARGETS) >&2

# build-windows/tolvo.exe: the engine for 64-bit Windows.
windows:
	@$(call need-command,cmake,cmake)
	@$(call need,/usr/bin/x86_64-w64-mingw32-g++-posix,g++-mingw-w64-x86-64-posix)
	@cmake -S . -B $(WINDOWS_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake $(RELEASE_CONFIG) >&2
	@cmake --build $(WINDOWS_DIR) -j $(JOBS) --target $(RELEASE_TARGETS) tolvo-windows-pipe-host >&2

# The Windows engine under the runtime layer, started through a Windows pipe as a Windows GUI
# starts it; whatever the session's outcome, no Windows process outlives it. The runtime layer
# sets up its state on its first start, which can outlast the session's timeouts, so that is
# done and waited for first.
windows-smoke: windows
	@$(call need,$(WINE),wine64)
	@$(WINE_ENV) $(WINE) wineboot --init >/dev/null 2>&1; $(WINE_ENV) $(WINESERVER) -w
	@$(WINE_ENV) tests/smoke/uci_smoke.sh $(WINE) $(WINDOWS_DIR)/tolvo-windows-pipe-host.exe \
		$(WINDOWS_DIR)/tolvo.exe; status=$$?; $(WINE_ENV) $(WINESERVER) -k 2>/dev/null; exit $$status

# build-linux-arm64/tolvo: the engine for 64-bit ARM Linux.
arm64:
	@$(call need-command,cmake,cmake)
	@$(call need,/usr/bin/aarch64-linux-gnu-g++,g++-aarch64-linux-gnu)
	@cmake -S . -B $(ARM64_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
		$(RELEASE_CONFIG) >&2
	@cmake --build $(ARM64_DIR) -j $(JOBS) --target $(RELEASE_TARGETS) >&2

# The ARM64 engine under the user-mode emulator (a static binary needs nothing else), and its
# network's NEON kernels against the plain ones.
arm64-smoke: arm64
	@$(call need-command,$(QEMU_ARM64),qemu-user)
	@tests/smoke/uci_smoke.sh $(QEMU_ARM64) $(ARM64_DIR)/tolvo
	@$(QEMU_ARM64) $(ARM64_DIR)/tolvo-bench --simd-selfcheck

# The three release binaries in dist/ with their checksums. Each is proven first: the smoke
# session on every platform, the same bench node total on every platform (keys, magics and
# the search use no floating point, so any difference is a bug), the network's recorded
# signature on every platform (its kernels are integer only), and the perft suite on ARM64.
bench-total = tr -d '\r' | sed -n 's/^Nodes searched: //p'
network-signature = $(shell sed -n 's/^Bench signature.*Nodes searched: \([0-9]*\).*/\1/p' \
	networks/default.md)
dist: linux-x86-64 windows-smoke arm64-smoke
	@tests/smoke/uci_smoke.sh $(LINUX_DIR)/tolvo
	@out=$$($(QEMU_ARM64) $(ARM64_DIR)/tolvo-perft --suite tests/data/perftsuite.epd \
		--max-depth 4); status=$$?; echo "$$out" | sed 's/^/linux-arm64 perft suite to depth 4: /'; \
		exit $$status
	@linux=$$($(LINUX_DIR)/tolvo-bench --depth 8 | $(bench-total)); \
		windows=$$($(WINE_ENV) $(WINE) $(WINDOWS_DIR)/tolvo-bench.exe --depth 8 | $(bench-total)); \
		$(WINE_ENV) $(WINESERVER) -k 2>/dev/null; \
		arm64=$$($(QEMU_ARM64) $(ARM64_DIR)/tolvo-bench --depth 8 | $(bench-total)); \
		echo "bench --depth 8 node totals: linux-x86-64 $$linux, windows-x86-64 $$windows," \
			"linux-arm64 $$arm64"; \
		test -n "$$linux" && test "$$linux" = "$$windows" && test "$$linux" = "$$arm64" || \
			{ echo "the bench node totals differ between the platforms" >&2; exit 1; }
	@linux=$$($(LINUX_DIR)/tolvo-bench --learned --depth 6 | $(bench-total)); \
		windows=$$($(WINE_ENV) $(WINE) $(WINDOWS_DIR)/tolvo-bench.exe --learned --depth 6 | \
			$(bench-total)); \
		$(WINE_ENV) $(WINESERVER) -k 2>/dev/null; \
		arm64=$$($(QEMU_ARM64) $(ARM64_DIR)/tolvo-bench --learned --depth 6 | $(bench-total)); \
		echo "bench --learned --depth 6 node totals: linux-x86-64 $$linux," \
			"windows-x86-64 $$windows, linux-arm64 $$arm64 (recorded $(network-signature))"; \
		test "$$linux" = "$(network-signature)" && test "$$windows" = "$(network-signature)" && \
			test "$$arm64" = "$(network-signature)" || \
			{ echo "the network's bench signature differs from networks/default.md" >&2; exit 1; }
	@rm -rf $(DIST_DIR) && mkdir -p $(DIST_DIR)
	@cp $(LINUX_DIR)/tolvo $(DIST_DIR)/tolvo-linux-x86-64
	@cp $(WINDOWS_DIR)/tolvo.exe $(DIST_DIR)/tolvo-windows-x86-64.exe
	@cp $(ARM64_DIR)/tolvo $(DIST_DIR)/tolvo-linux-arm64
	@cd $(DIST_DIR) && sha256sum tolvo-* > SHA256SUMS && sha256sum -c SHA256SUMS

# One short session of the Release engine under the memory checker; any error fails it.
memcheck: build
	@$(call need,/usr/bin/valgrind,valgrind)
	SMOKE_TIMEOUT=300 tests/smoke/uci_smoke.sh valgrind --quiet --error-exitcode=1 \
		--leak-check=full --errors-for-leak-kinds=definite $(BUILD_DIR)/tolvo

# Every fuzz target for FUZZ_SECONDS, each starting from its committed seed corpus and
# keeping what it finds in $(FUZZ_DIR)/corpus; a crash, a leak or a hang fails the run. The
# fuzzer's own limits are checked between inputs, so a watchdog ends a target that outlives
# them by far, rather than the run waiting on it.
FUZZ_WATCHDOG = $$(( $(FUZZ_SECONDS) * 2 + 120 ))
fuzz-build:
	@test -e "$$($(FUZZ_CXX) -print-resource-dir 2>/dev/null)/lib/linux/libclang_rt.fuzzer-x86_64.a" || \
		{ $(call apt-install,clang libclang-rt-dev); }
	@cmake -S . -B $(FUZZ_DIR) -DCMAKE_C_COMPILER=$(FUZZ_CC) -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DTOLVO_FUZZ=ON -DTOLVO_TESTS=OFF >&2
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzzers >&2

fuzz: fuzz-build
	@for target in $$(cd fuzz && ls *.cpp | sed 's/\.cpp$$//'); do \
		mkdir -p $(FUZZ_DIR)/corpus/$$target $(FUZZ_DIR)/findings/$$target; \
		echo "fuzzing $$target for $(FUZZ_SECONDS) s" >&2; \
		timeout --kill-after=10 $(FUZZ_WATCHDOG) \
			$(FUZZ_DIR)/tolvo-fuzz-$$target -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
			-rss_limit_mb=4096 -print_final_stats=1 \
			-artifact_prefix=$(FUZZ_DIR)/findings/$$target/ \
			-dict=fuzz/uci.dict $(FUZZ_DIR)/corpus/$$target fuzz/corpus/$$target \
			2>$(FUZZ_DIR)/$$target.log; status=$$?; \
		if [ $$status -ne 0 ]; then tail -60 $(FUZZ_DIR)/$$target.log; \
			[ $$status -lt 124 ] || echo "$$target: still running after $(FUZZ_WATCHDOG) s" >&2; \
			exit 1; fi; \
		grep -E '^stat::number_of_executed_units' $(FUZZ_DIR)/$$target.log | sed "s/^/$$target: /" >&2; \
	done

# The classical evaluator of the build gives the slope of the network's scores against its own.
train: build
	@$(need-torch)
	$(PYTHON) tools/train/train.py --data $(TRAIN_DATA) --out '$(TRAIN_OUT)' \
		--eval-tool $(BUILD_DIR)/tolvo-eval $(TRAIN_FLAGS)

bench: build
	@./$(BUILD_DIR)/tolvo-bench

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(TSAN_DIR) $(FUZZ_DIR) $(LINUX_DIR) $(WINDOWS_DIR) $(ARM64_DIR) \
		$(DIST_DIR)
