# Fennick: `make demo` and `make test` each install what is missing, configure, build and run.
BUILD         ?= build
ASAN_BUILD    ?= build-asan
TSAN_BUILD    ?= build-tsan
RELEASE_BUILD ?= build-release
JOBS          ?= $(shell nproc)
# The ctest labels of the core library's tests (one per folder under tests/, the programs' tests left out).
CORE_LABELS = ^(platform|data|search|coordsys|shp|tab|merge)$$
# The tests that run threads of ours: the shapefile writer, the two-thread append (a large shapefile input)
# and the MapInfo reader's lock.
TSAN_TESTS = shp_ShpFileTest shp_ShpWriterTest merge_ShpMergeTest tab_MiTabDSTest
# The make targets build with warnings as errors; a plain cmake build (a user's compiler) does not.
WERROR = -DFENNICK_WERROR=ON

.PHONY: all deps configure build test test-fast asan tsan release package demo clean fuzz-smoke

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Every test; the core tests again under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer; the
# threaded tests under ThreadSanitizer; a Release build (its optimiser raises warnings of its own); fuzzing.
test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory asan
	@$(MAKE) --no-print-directory tsan
	@$(MAKE) --no-print-directory release
	@$(MAKE) --no-print-directory package
	@scripts/test-package.sh $(BUILD)
	@$(MAKE) --no-print-directory fuzz-smoke

# Each fuzz target for about 20 s when clang's libFuzzer is installed.
fuzz-smoke:
	@JOBS=$(JOBS) scripts/fuzz.sh --smoke 20

test-fast: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Leaks inside the libraries we call (not ours) are listed in tests/lsan.supp.
asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFENNICK_SANITIZE=ON \
	  -DFENNICK_BUILD_GUI=OFF $(WERROR) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -L '$(CORE_LABELS)'

# Reports inside the libraries we call (not ours) are listed in tests/tsan.supp; a report fails the test.
tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFENNICK_SANITIZE=thread \
	  -DFENNICK_BUILD_GUI=OFF $(WERROR) >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TESTS)
	@TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1" \
	  ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) -R '^($(subst $() ,|,$(strip $(TSAN_TESTS))))$$'

# Every target built as Release, where the optimiser finds warnings that the other builds do not.
# Installed under /usr, as the package installs it.
release: deps
	@cmake -S . -B $(RELEASE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  $(WERROR) >/dev/null
	@cmake --build $(RELEASE_BUILD) -j $(JOBS)

# The Debian package from the Release build, written into $(BUILD): fennick_<version>_<arch>.deb.
package: release
	@mkdir -p $(BUILD)
	@cd $(RELEASE_BUILD) && cpack -G DEB -B $(CURDIR)/$(BUILD) >/dev/null
	@rm -rf $(BUILD)/_CPack_Packages
	@ls $(BUILD)/fennick_*.deb

demo: build
	@scripts/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(RELEASE_BUILD) build-fuzz-clang out

# Builds the desktop program and starts it.
.PHONY: gui
gui: configure
	@cmake --build $(BUILD) -j $(JOBS) --target fennick
	@$(BUILD)/src/ui/fennick
