# Convenience entry points over CMake presets (CMakePresets.json). Every target first makes sure
# the system packages are there (scripts/install-deps, instant when nothing is missing).
#
#   make demo    build and run the demo program
#   make test    build and run every test
#   make build   configure and build (preset $(PRESET), directory $(BUILD_DIR))
#   make python  install the Python module into the virtual environment .venv/
#   make clean   remove the build directories of the presets

PRESET ?= release
# The preset's binaryDir: build/ for release, build-<preset>/ for the others.
BUILD_DIR ?= $(if $(filter release,$(PRESET)),build,build-$(PRESET))
JOBS ?= 2
CTEST_ARGS ?=
# The Python interpreter of the module: PYTHON=... or Debian's (scripts/find-python).
PYTHON ?=
VENV ?= .venv

# The program `make demo` runs (target name, then command line).
DEMO_TARGET ?= velk-background-line
DEMO_COMMAND ?= $(BUILD_DIR)/bin/velk-background-line demo

.PHONY: all deps configure build test demo clean bench test-sanitizers test-tsan fuzz python
all: build

deps:
	scripts/install-deps

# A build directory configured at another path (a moved or copied tree) cannot be reused by
# CMake: start it afresh.
configure: deps
	@if [ -f $(BUILD_DIR)/CMakeCache.txt ] && ! grep -qxF \
	    'CMAKE_CACHEFILE_DIR:INTERNAL=$(abspath $(BUILD_DIR))' $(BUILD_DIR)/CMakeCache.txt; then \
	  echo "$(BUILD_DIR)/ was configured at another path: removing it"; rm -rf $(BUILD_DIR); \
	fi
	cmake --preset $(PRESET) $(if $(PYTHON),-DPython_EXECUTABLE=$(PYTHON))

build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS) $(CTEST_ARGS)

demo: configure
	cmake --build $(BUILD_DIR) --target $(DEMO_TARGET) -j$(JOBS)
	$(DEMO_COMMAND)

# The Python module, installed the Python way (`pip install .`, built through CMake) into a
# virtual environment that sees Debian's numpy and meshio; offline.
python: deps
	@python=$$(PYTHON=$(PYTHON) scripts/find-python) && echo "Python: $$python" && \
	  $$python -m venv --system-site-packages $(VENV) && \
	  JOBS=$(JOBS) $(VENV)/bin/python -m pip install --no-build-isolation --no-index . && \
	  $(VENV)/bin/python -c "import velk_background_line as vbl; print('velk_background_line', vbl.__version__, 'installed in $(VENV)/')"
	@echo "Activate it with:  . $(VENV)/bin/activate"

# ---------------------------------------------------------------------------------------------
# Further workflows, each in a build directory of its own: benchmarks, sanitizer runs, fuzzing.
# ---------------------------------------------------------------------------------------------

# Benchmarks (Release, in build-bench/): the suite with a summary table (the whole jobs against
# Boost.ICL in both its configurations among them), raw JSON in bench/results/, and the W2
# scaling plot redrawn in docs/bench-scaling.png; the tool on large jobs (scripts/bench-tool);
# then the Python binding's overhead on one insert of a 10^6-point curve.
# `make bench QUICK=1` runs the small sizes only; `make bench BASELINE=DIR` runs the binaries
# of another build (DIR/bin/, e.g. a Release build of main) in turn with these;
# `make bench GENOME_WIDE=1` adds the overlay of 10^7 intervals over the human chromosomes.
BASELINE ?=
bench: deps
	scripts/bench $(if $(filter 1 yes true,$(QUICK)),--quick,) $(if $(filter 1 yes true,$(GENOME_WIDE)),--genome-wide,) $(if $(BASELINE),--baseline $(BASELINE),)
	scripts/bench-tool $(if $(filter 1 yes true,$(QUICK)),--runs 1 heavy-100 identical-20000 zigzag-20000 rows-20000,) $(if $(BASELINE),--baseline $(BASELINE)/bin/velk-background-line,)
	scripts/bench-python $(if $(filter 1 yes true,$(QUICK)),--quick,)

# Every test again under AddressSanitizer and UndefinedBehaviorSanitizer (preset asan,
# build-asan/); any report fails the run.
test-sanitizers: deps
	scripts/test-sanitizers

# The threaded tests again under ThreadSanitizer (preset tsan, build-tsan/): the logger and
# registry from many threads, lines filled on threads, the tool's overlay on threads.
test-tsan: deps
	scripts/test-tsan

# The libFuzzer target (clang, in build-fuzz/) for SECONDS seconds on one core.
SECONDS ?= 60
fuzz: deps
	scripts/fuzz $(SECONDS)

clean:
	rm -rf build build-debug build-asan build-tsan build-bench build-fuzz build-python velk-demo
