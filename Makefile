# Wraps CMake. `make demo` and `make test` do all set-up on a fresh Debian 12 machine (as root).
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
TSAN_BUILD ?= build-tsan
COVERAGE_BUILD ?= build-coverage
MUTANTS_BUILD ?= build-mutants
# The fuzz smoke runs and the install check are left out of the coverage figure: it measures what the
# test programs reach (a fuzz run would hide a drop there), and both are slow when instrumented.
COVERAGE_EXCLUDE ?= ^(fuzz|install)\.
COVERAGE_FOLDERS := tile storage catalog core tools
MUTANTS_ARGS ?=
# ThreadSanitizer runs the programs of these targets and the tests of these CTest labels (a regular
# expression; empty: everything): the frame's threads, timers and plug-ins, and the depository's
# lock-free reads and writes.
TSAN_TARGETS ?= vt_core_tests vt_core_plugin_tests vt_storage_tests
TSAN_LABEL ?= core|storage
# The data-cloud client tests are left out: QNetworkAccessManager starts Qt's D-Bus thread for its
# bearer plug-ins, and the hand-over between that thread and the caller happens inside Qt and GLib,
# which are not instrumented, so every run reports races in their internals. The client itself
# runs on the caller's thread.
TSAN_EXCLUDE ?= ^VevirozoredResource\.
JOBS       ?= $(shell nproc)
GENERATOR  ?= Ninja
CTEST_ARGS ?= --output-on-failure -j$(JOBS)
LAUNCHER   := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache,)

.PHONY: all deps build demo test asan tsan bench fuzz fuzz-smoke coverage mutants clean

all: build

deps:
	bash scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DVTCORE_WERROR=ON $(LAUNCHER)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j$(JOBS)

# The main job end to end with the built-in grid source (no network): plan, download levels 1-12
# into demo/, info, verify, export to MBTiles.
demo: build
	bash scripts/demo.sh $(BUILD)

test: build
	cd $(BUILD) && ctest $(CTEST_ARGS)

asan: deps
	cmake -S . -B $(ASAN_BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DVTCORE_WERROR=ON $(LAUNCHER) -DVTCORE_SANITIZE=ON \
	      -DVTCORE_BUILD_TOOLS=OFF -DCMAKE_CXX_FLAGS_DEBUG="-g -O1"
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	      ctest $(CTEST_ARGS)

tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DVTCORE_WERROR=ON $(LAUNCHER) -DVTCORE_TSAN=ON \
	      -DVTCORE_BUILD_TOOLS=OFF -DVTCORE_BUILD_FUZZ=OFF -DCMAKE_CXX_FLAGS_DEBUG="-g -O1"
	cmake --build $(TSAN_BUILD) -j$(JOBS) $(if $(TSAN_TARGETS),--target $(TSAN_TARGETS),)
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/tsan.supp \
	      ctest $(CTEST_ARGS) $(if $(TSAN_LABEL),-L '$(TSAN_LABEL)',) $(if $(TSAN_EXCLUDE),-E '$(TSAN_EXCLUDE)',)

bench: deps
	cmake -S . -B $(BENCH_BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DVTCORE_WERROR=ON $(LAUNCHER) \
	      -DVTCORE_BUILD_BENCH=ON -DVTCORE_BUILD_TESTS=OFF -DVTCORE_BUILD_FUZZ=OFF
	cmake --build $(BENCH_BUILD) -j$(JOBS)
	@set -e; for b in $(BENCH_BUILD)/bench/*; do \
	  if [ -f "$$b" ] && [ -x "$$b" ]; then echo "== $$b"; "$$b" --benchmark_min_time=0.2; fi; done

# Every fuzz target for a bounded number of generated inputs (a fixed seed, so runs repeat); these
# also run with `make test`.
fuzz-smoke: build
	cd $(BUILD) && ctest -R '^fuzz\.' $(CTEST_ARGS)

# The fuzz targets as real libFuzzer programs (clang, AddressSanitizer, UBSan), each run for
# FUZZ_SECONDS seconds on a corpus kept in $(FUZZ_BUILD)/corpus/<name>; a single allocation above 1 GiB
# counts as a finding (no input may make a reader allocate what it announces). Only the fuzz programs are
# built: they link the static library.
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
	      -DCMAKE_CXX_COMPILER=clang++ $(LAUNCHER) -DVTCORE_LIBFUZZER=ON -DVTCORE_SANITIZE=ON \
	      -DVTCORE_BUILD_TESTS=OFF -DVTCORE_BUILD_TOOLS=OFF -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
	      -DCMAKE_CXX_FLAGS_DEBUG="-g -O1"
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target $(notdir $(basename $(wildcard fuzz/*Fuzz.cpp)))
	@set -e; for f in $(FUZZ_BUILD)/fuzz/*Fuzz; do \
	  if [ -f "$$f" ] && [ -x "$$f" ]; then n=$$(basename $$f); echo "== $$n"; mkdir -p $(FUZZ_BUILD)/corpus/$$n; \
	    "$$f" -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=4096 -malloc_limit_mb=1024 $(FUZZ_BUILD)/corpus/$$n; fi; done

# Line and branch coverage of the library and tool sources, per folder, from an unoptimised build
# instrumented with gcov (every test program; counters are reset first so runs do not add up).
coverage: deps
	cmake -S . -B $(COVERAGE_BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DVTCORE_WERROR=ON $(LAUNCHER) \
	      -DVTCORE_BUILD_FUZZ=OFF -DCMAKE_CXX_FLAGS_DEBUG="-O0" -DCMAKE_CXX_FLAGS="--coverage" \
	      -DCMAKE_EXE_LINKER_FLAGS="--coverage" -DCMAKE_SHARED_LINKER_FLAGS="--coverage" \
	      -DCMAKE_MODULE_LINKER_FLAGS="--coverage"
	cmake --build $(COVERAGE_BUILD) -j$(JOBS)
	find $(COVERAGE_BUILD) -name '*.gcda' -delete
	cd $(COVERAGE_BUILD) && ctest $(CTEST_ARGS) -E '$(COVERAGE_EXCLUDE)'
	# Counters of threaded tests can come out negative in gcov's branch lines; skip such lines
	# rather than lose the whole report.
	gcovr -r . -j $(JOBS) --gcov-ignore-parse-errors --object-directory $(COVERAGE_BUILD) \
	      --exclude-directories '$(COVERAGE_BUILD)/CMakeFiles/[0-9.]+' \
	      $(foreach d,$(COVERAGE_FOLDERS),--filter '$(d)/') \
	      --exclude-unreachable-branches --exclude-throw-branches \
	      --json-summary-pretty --json-summary $(COVERAGE_BUILD)/coverage-summary.json
	python3 scripts/coverage_by_folder.py $(COVERAGE_BUILD)/coverage-summary.json $(COVERAGE_FOLDERS)

# A seeded sample of source mutations, each built and run against its folder's test program; prints
# the share killed per folder (scripts/mutants.py --help for the options, e.g. MUTANTS_ARGS="--count 40").
mutants: deps
	nice python3 scripts/mutants.py --build-dir $(MUTANTS_BUILD) --jobs $(JOBS) $(MUTANTS_ARGS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(COVERAGE_BUILD) $(MUTANTS_BUILD)
