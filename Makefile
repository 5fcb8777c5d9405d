# Entry points for a fresh machine: `make demo` and `make test` install what is
# missing, configure, build, and then run the demo or every test.
BUILD ?= build
JOBS ?= 2

.PHONY: all setup configure build demo test package clean

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

# The Debian packages (libhvapi0, libhvapi-dev, halvoran-launcher-tools,
# halvsim), written to $(BUILD).
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
