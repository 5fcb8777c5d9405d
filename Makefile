# Entry points for a fresh machine: `make demo` and `make test` install what is
# missing, configure, build, and then run the demo or every test.
BUILD ?= build
JOBS ?= 2

.PHONY: all setup configure build demo test test-sanitize fuzz package bench clean

all: build

setup:
	@bash scripts/setup.sh

# Developers' builds fail on any warning; a plain cmake build does not.
configure: setup
	cmake -S . -B $(BUILD) -DCMAKE_COMPILE_WARNING_AS_ERROR=ON

build: configure
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	@bash scripts/demo.sh $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Every test again in a separate build with AddressSanitizer (leaks on) and
# UndefinedBehaviorSanitizer; any finding aborts the test program, so the
# test fails.
SANITIZE_BUILD ?= build-sanitize
SANITIZE_ENV = \
  ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
test-sanitize: setup
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
	  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-g -O1" \
	  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DHVAPI_SANITIZE=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	$(SANITIZE_ENV) ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j $(JOBS)

# The fuzz targets of fuzz/ in a separate Clang build with libFuzzer,
# ASan, LSan and UBSan, each run for FUZZ_SECONDS from its seed corpus; a
# crash, leak, hang or excess of memory fails. Only the fuzz targets are
# built there.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: setup
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
	  -DHVAPI_FUZZ=ON -DBUILD_TESTING=OFF \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz
	bash scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Benchmarks against java, cp and find, and the in-process figures: a
# table of ratios on standard output, the JSON, the table and a plot in
# $(BUILD)/bench-results. Not a test: no figure fails it.
bench: build
	bash bench/run.sh $(BUILD)

# The Debian packages (libhvapi0, libhvapi-dev, halvoran-launcher-tools,
# halvsim), written to $(BUILD).
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
