# Fennick: `make demo` and `make test` each install what is missing, configure, build and run.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CORE_LABELS = platform|data|merge|shp|search|coordsys

.PHONY: all deps configure build test test-fast asan demo clean fuzz-smoke

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Every test, then the core tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory asan
	@$(MAKE) --no-print-directory fuzz-smoke

# Each fuzz target for about 20 s when clang's libFuzzer is installed.
fuzz-smoke:
	@JOBS=$(JOBS) scripts/fuzz.sh --smoke 20

test-fast: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFENNICK_SANITIZE=ON \
	  -DFENNICK_BUILD_GUI=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -L '$(CORE_LABELS)'

demo: build
	@scripts/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) out

# Builds the desktop program and starts it.
.PHONY: gui
gui: configure
	@cmake --build $(BUILD) -j $(JOBS) --target fennick
	@$(BUILD)/src/ui/fennick
