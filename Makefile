# Larkspan Card Index: `make run` builds and starts the program, `make test` runs every test.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)

RUN_PACKAGES  = cmake ninja-build g++ qt6-base-dev libicu-dev fonts-liberation qt6-translations-l10n
TEST_PACKAGES = $(RUN_PACKAGES) xvfb xauth poppler-utils cups cups-client cups-bsd cups-filters \
                libfiu-dev fiu-utils util-linux python3 clang libclang-rt-14-dev abook acl attr passwd \
                desktop-file-utils appstream dpkg-dev x11-utils

.PHONY: run test test-asan bench fuzz build install package deps-run deps-test clean format

FUZZ_SECONDS ?= 60

# Each command configures its build folder with all the options it needs, so that they can follow
# one another in any order. `make run` builds the program alone; `make test` also builds the tests
# and the benchmarks (it runs only the check of the benchmarks' phone books).
RUN_OPTIONS   = -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DCARDINDEX_BENCH=OFF
TEST_OPTIONS  = -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DCARDINDEX_BENCH=ON
BENCH_OPTIONS = -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DCARDINDEX_BENCH=ON
SANITIZE_OPTIONS = -DCMAKE_BUILD_TYPE=Debug -DCARDINDEX_SANITIZE=ON -DBUILD_TESTING=ON -DCARDINDEX_BENCH=ON

# $(call configure_and_build,FOLDER,OPTIONS)
configure_and_build = cmake -S . -B $(1) -G Ninja $(2) && cmake --build $(1) -j $(JOBS)

run: deps-run
	$(call configure_and_build,$(BUILD),$(RUN_OPTIONS))
	./$(BUILD)/cardindex

# The program, the tests and the benchmarks, as `make test` runs them.
build:
	$(call configure_and_build,$(BUILD),$(TEST_OPTIONS))

test: deps-test build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The program under PREFIX (DESTDIR is honoured): see "Installing" in the README.
PREFIX ?= /usr/local
install: deps-run
	$(call configure_and_build,$(BUILD),$(RUN_OPTIONS))
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, $(BUILD)/larkspan-cardindex_<version>_<arch>.deb (dpkg-shlibdeps, from
# dpkg-dev, computes its Depends).
package: deps-test
	$(call configure_and_build,$(BUILD),$(RUN_OPTIONS))
	cd $(BUILD) && cpack -G DEB

# The same tests built with AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer.
test-asan: deps-test
	$(call configure_and_build,$(ASAN_BUILD),$(SANITIZE_OPTIONS))
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	    ctest --output-on-failure -j $(JOBS)

bench: deps-test
	$(call configure_and_build,$(BUILD),$(BENCH_OPTIONS))
	./bench/run.sh $(BUILD)

# Fuzzes the file readers and the cursor loader with clang's libFuzzer, FUZZ_SECONDS each
# (clang and libclang-rt-14-dev are for this alone).
fuzz: deps-test
	JOBS=$(JOBS) ./fuzz/run.sh $(FUZZ_SECONDS)

deps-run:
	@tools/ensure-packages.sh $(RUN_PACKAGES)

deps-test:
	@tools/ensure-packages.sh $(TEST_PACKAGES)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
