# Entry points for a fresh machine: `make demo` and `make test` install what is
# missing, configure, build, and then run the demo or every test.
BUILD ?= build
JOBS ?= 2

.PHONY: all setup configure build demo test clean

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	cmake -S . -B $(BUILD)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	@bash scripts/demo.sh $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
