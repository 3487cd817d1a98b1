# Set-up, build, demo and tests. `make demo` and `make test` install what is
# missing, build in build/ (the demo only the two programs) and run. `make
# test-sanitize` builds everything again in build-sanitize/ with address and
# undefined-behaviour checking and runs the same tests there.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
MPI_BUILD ?= build-mpi
JOBS ?= 2
MAKEFLAGS += --no-print-directory

# Any sanitizer finding, leaks included, aborts the process, so the test (or
# the program a test starts, which inherits these) fails. The OpenMP thread
# pool leaves no leak report, so no leak is suppressed.
SANITIZE_ENV = \
  ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: all deps build demo test test-sanitize test-mpi bench verify grid clean

all: build

deps:
	@sh scripts/install-deps.sh

# Under CI (CI=true) a warning in the programs' own sources stops the build.
WERROR = $(if $(filter true 1 yes,$(CI)),-DTEPORA_WERROR=ON,-DTEPORA_WERROR=OFF)

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(WERROR) > /dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The demo builds only the two programs it runs; `make test` and `make bench`
# build the rest.
demo: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release > /dev/null
	@[ -x $(BUILD)/tepora-sim ] && [ -x $(BUILD)/tepora-opt ] || \
	  echo "Building tepora-sim and tepora-opt in $(BUILD)/ for the first time: about a minute on two quiet cores"
	@cmake --build $(BUILD) -j $(JOBS) --target tepora-sim tepora-opt
	@sh scripts/demo.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Optimised with debug information, so the checked suite stays quick and the
# reports name source lines.
test-sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEPORA_SANITIZE=ON > /dev/null
	@$(SANITIZE_ENV) cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	@cd $(SANITIZE_BUILD) && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS)

# The optimiser across MPI ranks: Open MPI installed, everything built in
# build-mpi/ with TEPORA_MPI, the suite run there (with the test that compares
# mpirun's results with the threaded run's).
test-mpi:
	@TEPORA_MPI=1 sh scripts/install-deps.sh
	@cmake -S . -B $(MPI_BUILD) -DCMAKE_BUILD_TYPE=Release -DTEPORA_MPI=ON $(WERROR) > /dev/null
	@cmake --build $(MPI_BUILD) -j $(JOBS)
	@cd $(MPI_BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@$(BUILD)/bench/tepora-bench

# The cylindrical step against the exact cooling of a long bar (the table of
# errors and observed orders, and docs/verification.png, Octave) and against
# the exact freezing of a half-space (the front's errors and orders).
verify: build
	@$(BUILD)/bench/tepora-verify $(BUILD)/verification.dat
	@octave --no-gui -q --eval "addpath('scripts'); plot_verification('$(BUILD)/verification.dat', 'docs/verification.png')" > /dev/null

# The example billet to steady state on rings of 8/4/2 mm and slices of
# 0.1/0.05/0.025 m: shell at the mould exit, crater end, mould heat (a few
# minutes on two cores).
grid: build
	@$(BUILD)/bench/tepora-grid examples/billet

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(MPI_BUILD)
