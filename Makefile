# Thin wrapper around CMake: `make demo` and `make test` work on a fresh Debian machine.
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
LOGS := build/logs
STEP := scripts/step
VORELAN := $(LINUX_BUILD)/tools/vorelan/vorelan

.PHONY: all deps plugins linux win32 win64 tool test tsan demo docs install uninstall package clean

all: plugins

deps:
	@scripts/install-deps

$(LINUX_BUILD)/CMakeCache.txt:
	@$(STEP) "configuring the Linux build" $(LOGS)/configure-linux.log \
	    cmake -S . -B $(LINUX_BUILD) $(CMAKE_FLAGS)
$(WIN32_BUILD)/CMakeCache.txt:
	@$(STEP) "configuring the 32-bit Windows build" $(LOGS)/configure-win32.log \
	    cmake -S . -B $(WIN32_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake -DVORELAN_BENCH=OFF $(CMAKE_FLAGS)
$(WIN64_BUILD)/CMakeCache.txt:
	@$(STEP) "configuring the 64-bit Windows build" $(LOGS)/configure-win64.log \
	    cmake -S . -B $(WIN64_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake -DVORELAN_BENCH=OFF $(CMAKE_FLAGS)
$(TSAN_BUILD)/CMakeCache.txt:
	@$(STEP) "configuring the ThreadSanitizer build" $(LOGS)/configure-tsan.log \
	    cmake -S . -B $(TSAN_BUILD) -DVORELAN_TSAN=ON -DVORELAN_BENCH=OFF $(CMAKE_FLAGS)

linux: $(LINUX_BUILD)/CMakeCache.txt
	@$(STEP) "building Linux x86-64 (plug-in, tools, presets, tests)" $(LOGS)/build-linux.log \
	    cmake --build $(LINUX_BUILD) -j $(JOBS)
win32: $(WIN32_BUILD)/CMakeCache.txt
	@$(STEP) "building Windows x86" $(LOGS)/build-win32.log cmake --build $(WIN32_BUILD) -j $(JOBS)
win64: $(WIN64_BUILD)/CMakeCache.txt
	@$(STEP) "building Windows x86-64" $(LOGS)/build-win64.log cmake --build $(WIN64_BUILD) -j $(JOBS)

# Only what make install needs: the tool, the Linux plug-in and the preset library.
tool: deps $(LINUX_BUILD)/CMakeCache.txt
	@$(STEP) "building the vorelan tool, the Linux plug-in and the presets" $(LOGS)/build-tool.log \
	    cmake --build $(LINUX_BUILD) -j $(JOBS) --target vorelan vorelan_plugin vorelan_preset_library

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

# The built-in demo (plucked chords, a melody, drums) through the factory program, rendered by the
# vorelan tool hosting the Linux plug-in binary.
demo: plugins
	@mkdir -p out
	@$(STEP) --summary '^wrote' "rendering the demo" $(LOGS)/demo.log \
	    $(VORELAN) render out/demo.wav --plugin dist/linux-x86_64/VorelanEn2.so
	@$(STEP) "drawing the editor" $(LOGS)/screenshot.log $(VORELAN) screenshot out/editor.png
	@echo "Demo: out/demo.wav, the editor: out/editor.png"
	@echo "Plug-in binaries: dist/linux-x86_64/VorelanEn2.so dist/windows-x86/VorelanEn2.dll dist/windows-x86_64/VorelanEn2.dll"
	@echo "Presets: dist/presets (make install puts the plug-in, the presets and vorelan where they belong)"

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
