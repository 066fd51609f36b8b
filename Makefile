# Thin wrapper around CMake: `make install`, `make demo` and `make test` work on a fresh Debian machine.
# Each step prints one line of progress and keeps its whole output in build/logs, which is shown when
# the step fails; `make ... VERBOSE=1` shows everything as it comes.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX ?= $(HOME)/.local
DESTDIR ?=
export VERBOSE

LINUX_BUILD := build/linux
WIN32_BUILD := build/win32
WIN64_BUILD := build/win64
TSAN_BUILD := build/tsan
ASAN_BUILD := build/asan
LOGS := build/logs
STEP := scripts/step
VORELAN := $(LINUX_BUILD)/tools/vorelan/vorelan

.PHONY: all deps deps-linux deps-check plugins linux linux-tests win32 win64 tool test check tsan asan demo \
        docs install uninstall package clean

all: plugins

# Every package any target needs; the narrower steps install only their groups (scripts/install-deps).
deps:
	@scripts/install-deps
deps-linux:
	@scripts/install-deps linux
deps-check:
	@scripts/install-deps linux test

# One Linux build serves the user's targets (install, demo) and the developers' (test, check). When
# install or demo configure it first, its tests and benchmarks are left out, since their libraries are
# not installed for a user; the developers' targets turn them on (linux-tests).
LINUX_TESTS ?= ON
install tool demo: LINUX_TESTS := OFF
$(LINUX_BUILD)/CMakeCache.txt:
	@$(STEP) "configuring the Linux build" $(LOGS)/configure-linux.log \
	    cmake -S . -B $(LINUX_BUILD) -DVORELAN_TESTS=$(LINUX_TESTS) -DVORELAN_BENCH=$(LINUX_TESTS) $(CMAKE_FLAGS)
linux-tests: $(LINUX_BUILD)/CMakeCache.txt
	@if grep -q '^VORELAN_\(TESTS\|BENCH\):BOOL=OFF' $(LINUX_BUILD)/CMakeCache.txt; then \
	    $(STEP) "configuring the Linux build with its tests" $(LOGS)/configure-linux.log \
	        cmake -S . -B $(LINUX_BUILD) -DVORELAN_TESTS=ON -DVORELAN_BENCH=ON $(CMAKE_FLAGS); \
	fi
$(WIN32_BUILD)/CMakeCache.txt:
	@$(STEP) "configuring the 32-bit Windows build" $(LOGS)/configure-win32.log \
	    cmake -S . -B $(WIN32_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake -DVORELAN_BENCH=OFF $(CMAKE_FLAGS)
$(WIN64_BUILD)/CMakeCache.txt:
	@$(STEP) "configuring the 64-bit Windows build" $(LOGS)/configure-win64.log \
	    cmake -S . -B $(WIN64_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake -DVORELAN_BENCH=OFF $(CMAKE_FLAGS)
$(TSAN_BUILD)/CMakeCache.txt:
	@$(STEP) "configuring the ThreadSanitizer build" $(LOGS)/configure-tsan.log \
	    cmake -S . -B $(TSAN_BUILD) -DVORELAN_TSAN=ON -DVORELAN_BENCH=OFF $(CMAKE_FLAGS)
# Sanitizer builds are optimised less (-O1): they compile much faster and still run the tests briskly.
$(ASAN_BUILD)/CMakeCache.txt:
	@$(STEP) "configuring the AddressSanitizer build" $(LOGS)/configure-asan.log \
	    cmake -S . -B $(ASAN_BUILD) -DVORELAN_ASAN=ON -DVORELAN_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g" \
	    -DVORELAN_VALIDATE_STEPS=20000 -DVORELAN_VALIDATE_SEEDS=1 $(CMAKE_FLAGS)

linux: linux-tests
	@$(STEP) "building Linux x86-64 (plug-in, tools, presets, tests)" $(LOGS)/build-linux.log \
	    cmake --build $(LINUX_BUILD) -j $(JOBS)
win32: $(WIN32_BUILD)/CMakeCache.txt
	@$(STEP) "building Windows x86" $(LOGS)/build-win32.log cmake --build $(WIN32_BUILD) -j $(JOBS)
win64: $(WIN64_BUILD)/CMakeCache.txt
	@$(STEP) "building Windows x86-64" $(LOGS)/build-win64.log cmake --build $(WIN64_BUILD) -j $(JOBS)

# Only what make install needs: the tool, the Linux plug-ins (VST 2 and the LV2 bundle) and the preset
# library.
tool: deps-linux $(LINUX_BUILD)/CMakeCache.txt
	@$(STEP) "building the vorelan tool, the Linux plug-ins and the presets" $(LOGS)/build-tool.log \
	    cmake --build $(LINUX_BUILD) -j $(JOBS) --target vorelan vorelan_plugin vorelan_lv2 vorelan_preset_library

# The three plug-in binaries land in dist/linux-x86_64, dist/windows-x86 and dist/windows-x86_64, the
# preset library in dist/presets.
plugins: deps
	@$(MAKE) --no-print-directory linux win32 win64

# Every test of the three builds. All three suites run even when one fails; the run fails at the end
# if any did. The wine prefix is prepared and its server started before CTest runs the Windows tests.
test: plugins
	@scripts/wine-prepare $(CURDIR)/$(WIN64_BUILD)/wine-prefix 64 || echo "test: wine64 cannot run here; the Windows tests will be skipped"
	@status=0; \
	for build in $(LINUX_BUILD) $(WIN64_BUILD) $(WIN32_BUILD); do \
	    $(STEP) --summary 'tests passed|tests failed' "tests of $$build" $(LOGS)/test-$$(basename $$build).log \
	        sh -c "cd $$build && $(CURDIR)/scripts/with-display ctest --output-on-failure -j $(JOBS)" \
	        || status=1; \
	    grep -h '^skipped:' $$build/Testing/Temporary/LastTest.log 2>/dev/null | sort -u | sed 's/^/   /'; \
	done; \
	$(MAKE) --no-print-directory tsan || status=1; \
	$(MAKE) --no-print-directory asan || status=1; \
	if [ $$status -ne 0 ]; then echo "make test: SOME TESTS FAILED (see above)"; exit 1; fi; \
	echo "make test: all tests passed"

# The tests that run the plug-in from two threads at once (a user-interface thread writing parameters
# while the audio thread renders), built with ThreadSanitizer. Any report of a data race fails the run;
# so does a filter that no longer selects any test.
TSAN_TESTS := tests/unit/engine/engine_tests:TPluginThreadTest.* \
              tests/host/vorelan_host_tests:Processing.ParametersChangeWhileAudioRuns:Processing.BlockSizesAnnouncedWhileAudioRuns
tsan: $(TSAN_BUILD)/CMakeCache.txt
	@$(STEP) "building the threaded tests with ThreadSanitizer" $(LOGS)/build-tsan.log \
	    cmake --build $(TSAN_BUILD) -j $(JOBS) --target engine_tests vorelan_host_tests
	@status=0; \
	for entry in $(TSAN_TESTS); do \
	    program=$(TSAN_BUILD)/$${entry%%:*}; filter=$${entry#*:}; log=$(TSAN_BUILD)/tsan-$$(basename $$program).log; \
	    TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1" \
	        $$program --gtest_filter="$$filter" >$$log 2>&1; code=$$?; \
	    if [ $$code -ne 0 ] || grep -q 'WARNING: ThreadSanitizer' $$log || ! grep -q '^\[  PASSED  \] [1-9]' $$log; then \
	        cat $$log; status=1; echo "== FAILED under ThreadSanitizer: $$program ($$filter), exit code $$code"; \
	    else \
	        echo "threaded tests under ThreadSanitizer: $$(basename $$program) ($$filter) ... passed"; \
	    fi; \
	done; \
	exit $$status

# The unit tests, the host-level tests and short validate runs, built with AddressSanitizer and
# UndefinedBehaviorSanitizer. A memory error, a leak or undefined behaviour ends the test that meets
# it, which then fails. The instrumented plug-in binary stays in build/asan/dist/linux-x86_64. A test
# preloads a small library into the tool to make files fail; ahead of the sanitizer runtime it is
# harmless, so the runtime's check of the library order is off.
ASAN_OPTIONS_RUN := detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:verify_asan_link_order=0
UBSAN_OPTIONS_RUN := print_stacktrace=1:halt_on_error=1
asan: $(ASAN_BUILD)/CMakeCache.txt
	@$(STEP) "building everything with AddressSanitizer and UndefinedBehaviorSanitizer" $(LOGS)/build-asan.log \
	    cmake --build $(ASAN_BUILD) -j $(JOBS)
	@$(STEP) --summary 'tests passed|tests failed' "tests under AddressSanitizer and UndefinedBehaviorSanitizer" \
	    $(LOGS)/test-asan.log sh -c "cd $(ASAN_BUILD) && ASAN_OPTIONS=$(ASAN_OPTIONS_RUN) \
	    UBSAN_OPTIONS=$(UBSAN_OPTIONS_RUN) $(CURDIR)/scripts/with-display ctest --output-on-failure -j $(JOBS)"

# The built-in demo (plucked chords, a melody, drums) through the factory program, rendered by the
# vorelan tool hosting the Linux plug-in binary, and the editor's picture. Builds only those two.
demo: deps-linux $(LINUX_BUILD)/CMakeCache.txt
	@$(STEP) "building the Linux plug-in and the vorelan tool" $(LOGS)/build-demo.log \
	    cmake --build $(LINUX_BUILD) -j $(JOBS) --target vorelan vorelan_plugin
	@mkdir -p out
	@$(STEP) --summary '^wrote' "rendering the demo" $(LOGS)/demo.log \
	    $(VORELAN) render out/demo.wav --plugin dist/linux-x86_64/VorelanEn2.so
	@$(STEP) "drawing the editor" $(LOGS)/screenshot.log $(VORELAN) screenshot out/editor.png
	@echo "Demo: out/demo.wav, the editor: out/editor.png"
	@echo "Plug-in: dist/linux-x86_64/VorelanEn2.so (make install puts it, the presets and vorelan where they belong;"
	@echo "make plugins also builds the Windows DLLs)"

# The unit tests of the Linux build (every layer's, the tool's included, without the minute-long fuzz
# run), after building what changed: the quick check while working.
check: deps-check
	@$(MAKE) --no-print-directory linux
	@$(STEP) "unit tests of the Linux build" $(LOGS)/check.log scripts/with-display sh -c \
	    'status=0; for dir in $(LINUX_BUILD)/tests/unit/*/; do \
	         (cd $$dir && ctest --output-on-failure -j $(JOBS) -E FxpReaderFuzz) || status=1; \
	     done; exit $$status'
	@grep -hE 'tests passed|tests failed' $(LOGS)/check.log | \
	    awk '{ passed += $$9 - $$4; failed += $$4 } END { printf "   %d unit tests passed, %d failed\n", passed, failed }'

# docs/parameters.md, written from the parameter table.
docs: $(LINUX_BUILD)/CMakeCache.txt
	@$(STEP) "building the parameter reference" $(LOGS)/build-docs.log \
	    cmake --build $(LINUX_BUILD) -j $(JOBS) --target vorelan_paramdoc
	@$(LINUX_BUILD)/tools/paramdoc/vorelan_paramdoc > docs/parameters.md
	@echo "wrote docs/parameters.md"

# PREFIX (default ~/.local) and DESTDIR as usual; scripts/install tells where everything goes.
install: tool
	@PREFIX="$(PREFIX)" DESTDIR="$(DESTDIR)" BUILD=$(CURDIR)/$(LINUX_BUILD) DIST=$(CURDIR)/dist scripts/install install
uninstall:
	@PREFIX="$(PREFIX)" DESTDIR="$(DESTDIR)" scripts/install uninstall

# Release archives of the three targets in dist/packages.
package: plugins
	@BUILD=$(CURDIR)/$(LINUX_BUILD) DIST=$(CURDIR)/dist scripts/package

clean:
	rm -rf build dist out
