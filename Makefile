# Common commands; everything goes through CMake and Ninja.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD?= build-bench
FUZZ_BUILD ?= build-fuzz
FUZZ_TIME  ?= 60
JOBS       ?= $(shell nproc)
CMAKE_GEN   = cmake -G Ninja -Wno-dev

.PHONY: all setup build run test check-layers check-format check-asan bench fuzz clean sample

all: build

setup:
	@scripts/setup

$(BUILD)/build.ninja:
	$(CMAKE_GEN) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARQUIL_WERROR=ON

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

sample: build
	@$(BUILD)/make_sample samples

run: sample
	@scripts/run-editor $(BUILD)/tarquil samples/walk_000.tga

check-layers:
	@scripts/check-layers

check-format: setup
	@scripts/check-format

test: check-layers check-format build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

check-asan: setup
	$(CMAKE_GEN) -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTARQUIL_SANITIZE=ON -DTARQUIL_WERROR=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 1800

bench:
	@scripts/setup --bench
	$(CMAKE_GEN) -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DTARQUIL_BUILD_BENCH=ON \
	  -DTARQUIL_BUILD_TESTS=OFF -DTARQUIL_BUILD_UI=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	@for b in $(BENCH_BUILD)/*_bench; do echo "== $$b"; $$b $(BENCH_ARGS) || exit 1; done
	@echo "== bench/whole_process.sh"; bench/whole_process.sh $(BENCH_BUILD)/tarquil-cli
	@echo "== bench/pack_process.sh"; bench/pack_process.sh $(BENCH_BUILD)/tarquil-cli

# make fuzz [FUZZ_TARGET=read] [FUZZ_TIME=seconds]
FUZZ_TARGET ?= read
fuzz: setup
	CC=clang CXX=clang++ $(CMAKE_GEN) -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTARQUIL_BUILD_FUZZ=ON -DTARQUIL_BUILD_TESTS=OFF -DTARQUIL_BUILD_UI=OFF -DTARQUIL_WERROR=OFF \
	  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
	  -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link,address,undefined"
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZ_TARGET)_fuzzer
	mkdir -p $(FUZZ_BUILD)/corpus-$(FUZZ_TARGET)
	$(FUZZ_BUILD)/$(FUZZ_TARGET)_fuzzer -max_total_time=$(FUZZ_TIME) -rss_limit_mb=4096 \
	  -artifact_prefix=fuzz/ $(FUZZ_BUILD)/corpus-$(FUZZ_TARGET) fuzz/corpus/$(FUZZ_TARGET)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
