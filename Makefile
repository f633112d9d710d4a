# Larkspan Card Index: `make run` builds and starts the program, `make test` runs every test.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)

RUN_PACKAGES  = cmake ninja-build g++ qt6-base-dev fonts-liberation
TEST_PACKAGES = $(RUN_PACKAGES) xvfb xauth poppler-utils cups cups-client cups-bsd cups-filters \
                libfiu-dev fiu-utils util-linux python3 clang libclang-rt-14-dev abook

.PHONY: run test test-asan bench fuzz build deps-run deps-test clean format

FUZZ_SECONDS ?= 60

run: deps-run build
	./$(BUILD)/cardindex

build:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

test: deps-test build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The same tests built with AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer.
test-asan: deps-test
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCARDINDEX_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	    ctest --output-on-failure -j $(JOBS)

bench: deps-test build
	./bench/run.sh $(BUILD)

# Fuzzes the file readers and the cursor loader with clang's libFuzzer, FUZZ_SECONDS each.
fuzz: deps-test
	./fuzz/run.sh $(FUZZ_SECONDS)

deps-run:
	@tools/ensure-packages.sh $(RUN_PACKAGES)

deps-test:
	@tools/ensure-packages.sh $(TEST_PACKAGES)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
