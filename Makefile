# The two set-up commands: `make run` and `make test`.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
TSAN_BUILD ?= build-tsan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
# make fuzz: seconds per harness, and which harnesses.
FUZZ_SECONDS ?= 300
FUZZ_HARNESSES ?= ini map mirror pattern rules cli
JOBS       ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test sanitize tsan bench fuzz fuzz-build fuzz-long clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/ostrander

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

sanitize: deps
	cmake -S . -B $(SAN_BUILD) -DOSTRANDER_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS) -LE e2e

tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DOSTRANDER_TSAN=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target threads_tests
	cd $(TSAN_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -L threads

bench: deps
	cmake -S . -B $(BENCH_BUILD) -DOSTRANDER_BENCH=ON -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	@for b in $(BENCH_BUILD)/bin/bench_*; do [ -x "$$b" ] && "$$b"; done

# Each harness runs FUZZ_SECONDS under libFuzzer (clang, ASan, UBSan), one after
# the other (fuzz/run-harness.sh: inputs capped per harness); new inputs gather
# in $(FUZZ_BUILD)/corpus, failing inputs in $(FUZZ_BUILD)/findings. Copy a fixed
# finding into fuzz/corpus/<harness>/ so that `make test` replays it.
# `make fuzz-long` runs each for FUZZ_LONG_SECONDS (30 minutes) and writes the
# table of runs, exec/s and coverage to $(FUZZ_BUILD)/fuzz-long.txt.
FUZZ_LONG_SECONDS ?= 1800
FUZZ_TABLE_HEAD = printf '%-8s %7s %10s %8s %10s %7s %7s %6s\n' harness seconds runs exec/s exec/cpu-s cov ft corpus

fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DOSTRANDER_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_HARNESSES))

fuzz: fuzz-build
	@$(FUZZ_TABLE_HEAD)
	@for h in $(FUZZ_HARNESSES); do \
	  fuzz/run-harness.sh $(FUZZ_BUILD) $$h $(FUZZ_SECONDS) || exit 1; \
	done

fuzz-long: fuzz-build
	@{ echo "# $$(date -u '+%Y-%m-%d %H:%M UTC'), $$(nproc) CPUs, load $$(cut -d' ' -f1-3 /proc/loadavg)"; \
	  $(FUZZ_TABLE_HEAD); } > $(FUZZ_BUILD)/fuzz-long.txt
	@status=0; for h in $(FUZZ_HARNESSES); do \
	  fuzz/run-harness.sh $(FUZZ_BUILD) $$h $(FUZZ_LONG_SECONDS) >> $(FUZZ_BUILD)/fuzz-long.txt || status=1; \
	done; cat $(FUZZ_BUILD)/fuzz-long.txt; exit $$status

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
