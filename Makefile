# Kestrin: the two commands of a fresh machine are `make run` and `make test`.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_ARGS ?=
JOBS       ?= $(shell nproc)
SOURCES     = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null)

.PHONY: all bootstrap configure build test run bench dist format check-format clean

all: build

bootstrap:
	@scripts/bootstrap

configure: bootstrap
	@if [ ! -f $(BUILD)/build.ninja ]; then \
	  cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS); \
	fi

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 300

run: build
	@scripts/run-demo $(BUILD)

# The delivery folder that the setup wizard runs from, and its tarball, in $(BUILD)/dist.
dist: configure
	@cmake --build $(BUILD) -j $(JOBS) --target dist

bench: build
	@scripts/run-bench $(BUILD)

format:
	@clang-format -i $(SOURCES)

check-format:
	@clang-format --dry-run -Werror $(SOURCES)

clean:
	@rm -rf $(BUILD)
