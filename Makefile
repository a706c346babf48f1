# Kestrin: the two commands of a fresh machine are `make run` and `make test`.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_ARGS ?=
JOBS       ?= $(shell nproc)
CTEST_ARGS ?=
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

# Every test runs twice, on SQLite (sqlite/...) and on a throw-away PostgreSQL server that ctest
# starts and stops (postgres/...). CTEST_ARGS="-L sqlite" runs the first half only.
test: build
	@cd $(BUILD) && rm -f postgres-cluster.env.skipped; \
	  ctest -j $(JOBS) --output-on-failure --timeout 300 $(CTEST_ARGS); status=$$?; \
	  if [ -f postgres-cluster.env.skipped ]; then \
	    echo "PostgreSQL half skipped: $$(cat postgres-cluster.env.skipped)"; fi; \
	  exit $$status

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
