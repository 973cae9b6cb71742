# Quick start: `make run` builds the engine and starts it on stdin/stdout;
# `make test` builds everything and runs every test.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

# The sanitizer build, the Windows cross build and the fuzz build each have a directory of
# their own, so that none of them rebuilds the others.
ASAN_DIR ?= build-asan
TSAN_DIR ?= build-tsan
WINDOWS_DIR ?= build-windows
FUZZ_DIR ?= build-fuzz

# Seconds each fuzz target runs under `make fuzz`, and under `make test`.
FUZZ_SECONDS ?= 180
TEST_FUZZ_SECONDS ?= 20
FUZZ_CXX ?= clang++

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

.PHONY: all build run test perft bench sanitize tsan windows windows-smoke memcheck fuzz fuzz-build clean

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

# The normal suite, then the same suites under the sanitizers, the Windows build with its
# smoke session, and a short run of every fuzz target.
test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory sanitize
	@$(MAKE) --no-print-directory tsan
	@$(MAKE) --no-print-directory windows-smoke
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(TEST_FUZZ_SECONDS)

# Every suite under AddressSanitizer and UndefinedBehaviorSanitizer. The self-play games on a
# real clock are left out: the sanitizers slow the engine down by a factor that a game at one
# second plus ten milliseconds cannot absorb, and the referee's own tests still run here.
sanitize:
	@cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVO_SANITIZE=ON >&2
	@cmake --build $(ASAN_DIR) -j $(JOBS) >&2
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS) -E '^SelfPlay\.Engine'

# Every suite under ThreadSanitizer: the whole suite at one thread, and the threads tests at
# two. The engines the tests start write their reports to files (a child's report would not
# reach the test's output), and any report fails the run.
tsan:
	@cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVO_TSAN=ON >&2
	@cmake --build $(TSAN_DIR) -j $(JOBS) >&2
	@rm -rf $(TSAN_DIR)/reports && mkdir -p $(TSAN_DIR)/reports
	cd $(TSAN_DIR) && TSAN_OPTIONS=halt_on_error=1:log_path=$(abspath $(TSAN_DIR))/reports/race \
		ctest --output-on-failure -j $(JOBS) -E '^SelfPlay\.Engine'
	@if [ -n "$$(ls $(TSAN_DIR)/reports)" ]; then cat $(TSAN_DIR)/reports/* >&2; \
		echo "ThreadSanitizer reported the races above" >&2; exit 1; fi

# build-windows/tolvo.exe: the engine for 64-bit Windows, linked statically.
windows:
	@$(call need,/usr/bin/x86_64-w64-mingw32-g++-posix,g++-mingw-w64-x86-64-posix)
	@cmake -S . -B $(WINDOWS_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
		-DCMAKE_BUILD_TYPE=Release -DTOLVO_TESTS=OFF >&2
	@cmake --build $(WINDOWS_DIR) -j $(JOBS) --target tolvo tolvo-windows-pipe-host >&2

# The Windows engine under the runtime layer, started through a Windows pipe as a Windows GUI
# starts it; whatever the session's outcome, no Windows process outlives it.
windows-smoke: windows
	@$(call need,$(WINE),wine64)
	@$(WINE_ENV) tests/smoke/uci_smoke.sh $(WINE) $(WINDOWS_DIR)/tolvo-windows-pipe-host.exe \
		$(WINDOWS_DIR)/tolvo.exe; status=$$?; $(WINE_ENV) $(WINESERVER) -k 2>/dev/null; exit $$status

# One short session of the Release engine under the memory checker; any error fails it.
memcheck: build
	@$(call need,/usr/bin/valgrind,valgrind)
	SMOKE_TIMEOUT=300 tests/smoke/uci_smoke.sh valgrind --quiet --error-exitcode=1 \
		--leak-check=full --errors-for-leak-kinds=definite $(BUILD_DIR)/tolvo

# Every fuzz target for FUZZ_SECONDS, each starting from its committed seed corpus and
# keeping what it finds in $(FUZZ_DIR)/corpus; a crash, a leak or a hang fails the run.
fuzz-build:
	@test -e "$$($(FUZZ_CXX) -print-resource-dir 2>/dev/null)/lib/linux/libclang_rt.fuzzer-x86_64.a" || \
		{ $(call apt-install,clang libclang-rt-dev); }
	@cmake -S . -B $(FUZZ_DIR) -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DTOLVO_FUZZ=ON -DTOLVO_TESTS=OFF >&2
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzzers >&2

fuzz: fuzz-build
	@for target in $$(cd fuzz && ls *.cpp | sed 's/\.cpp$$//'); do \
		mkdir -p $(FUZZ_DIR)/corpus/$$target $(FUZZ_DIR)/findings/$$target; \
		echo "fuzzing $$target for $(FUZZ_SECONDS) s" >&2; \
		$(FUZZ_DIR)/tolvo-fuzz-$$target -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
			-rss_limit_mb=4096 -print_final_stats=1 \
			-artifact_prefix=$(FUZZ_DIR)/findings/$$target/ \
			-dict=fuzz/uci.dict $(FUZZ_DIR)/corpus/$$target fuzz/corpus/$$target \
			2>$(FUZZ_DIR)/$$target.log || { tail -60 $(FUZZ_DIR)/$$target.log; exit 1; }; \
		grep -E '^stat::number_of_executed_units' $(FUZZ_DIR)/$$target.log | sed "s/^/$$target: /" >&2; \
	done

bench: build
	@./$(BUILD_DIR)/tolvo-bench

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(TSAN_DIR) $(WINDOWS_DIR) $(FUZZ_DIR)
