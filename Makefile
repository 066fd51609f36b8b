# Thin wrapper around CMake: `make demo` and `make test` work on a fresh Debian machine.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

LINUX_BUILD := build/linux
WIN32_BUILD := build/win32
WIN64_BUILD := build/win64
TSAN_BUILD := build/tsan
ASAN_BUILD := build/asan
VORELAN := $(LINUX_BUILD)/tools/vorelan/vorelan

.PHONY: all deps plugins linux win32 win64 test tsan asan demo clean

all: plugins

deps:
	@scripts/install-deps

$(LINUX_BUILD)/CMakeCache.txt:
	cmake -S . -B $(LINUX_BUILD) $(CMAKE_FLAGS)
$(WIN32_BUILD)/CMakeCache.txt:
	cmake -S . -B $(WIN32_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake -DVORELAN_BENCH=OFF $(CMAKE_FLAGS)
$(WIN64_BUILD)/CMakeCache.txt:
	cmake -S . -B $(WIN64_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake -DVORELAN_BENCH=OFF $(CMAKE_FLAGS)
$(TSAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(TSAN_BUILD) -DVORELAN_TSAN=ON -DVORELAN_BENCH=OFF $(CMAKE_FLAGS)
# Sanitizer builds are optimised less (-O1): they compile much faster and still run the tests briskly.
$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) -DVORELAN_ASAN=ON -DVORELAN_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g" \
	    -DVORELAN_VALIDATE_STEPS=20000 -DVORELAN_VALIDATE_SEEDS=1 $(CMAKE_FLAGS)

linux: $(LINUX_BUILD)/CMakeCache.txt
	cmake --build $(LINUX_BUILD) -j $(JOBS)
win32: $(WIN32_BUILD)/CMakeCache.txt
	cmake --build $(WIN32_BUILD) -j $(JOBS)
win64: $(WIN64_BUILD)/CMakeCache.txt
	cmake --build $(WIN64_BUILD) -j $(JOBS)

# The three plug-in binaries land in dist/linux-x86_64, dist/windows-x86 and dist/windows-x86_64.
plugins: deps
	$(MAKE) linux win32 win64

# Every test of the three builds. All three suites run even when one fails; the run fails at the end
# if any did. The wine prefix is prepared and its server started before CTest runs the Windows tests.
test: plugins
	@scripts/wine-prepare $(CURDIR)/$(WIN64_BUILD)/wine-prefix 64 || echo "test: wine64 cannot run here; the Windows tests will be skipped"
	@status=0; \
	for build in $(LINUX_BUILD) $(WIN64_BUILD) $(WIN32_BUILD); do \
	    echo "== tests of $$build"; \
	    (cd $$build && scripts=$(CURDIR)/scripts && $$scripts/with-display ctest --output-on-failure -j $(JOBS)) \
	        || { status=1; echo "== FAILED: tests of $$build"; }; \
	    grep -h '^skipped:' $$build/Testing/Temporary/LastTest.log 2>/dev/null | sort -u | sed 's/^/   /'; \
	done; \
	echo "== threaded tests under ThreadSanitizer"; \
	$(MAKE) --no-print-directory tsan || { status=1; echo "== FAILED: threaded tests under ThreadSanitizer"; }; \
	echo "== unit, host and validate tests under AddressSanitizer and UndefinedBehaviorSanitizer"; \
	$(MAKE) --no-print-directory asan || { status=1; echo "== FAILED: tests under AddressSanitizer and UndefinedBehaviorSanitizer"; }; \
	if [ $$status -ne 0 ]; then echo "make test: SOME TESTS FAILED (see above)"; exit 1; fi; \
	echo "make test: all tests passed"

# The tests that run the plug-in from two threads at once (a user-interface thread writing parameters
# while the audio thread renders), built with ThreadSanitizer. Any report of a data race fails the run;
# so does a filter that no longer selects any test.
TSAN_TESTS := tests/unit/engine/engine_tests:TPluginThreadTest.* \
              tests/host/vorelan_host_tests:Processing.ParametersChangeWhileAudioRuns
tsan: $(TSAN_BUILD)/CMakeCache.txt
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target engine_tests vorelan_host_tests
	@status=0; \
	for entry in $(TSAN_TESTS); do \
	    program=$(TSAN_BUILD)/$${entry%%:*}; filter=$${entry#*:}; log=$(TSAN_BUILD)/tsan-$$(basename $$program).log; \
	    echo "== $$program --gtest_filter=$$filter"; \
	    TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1" \
	        $$program --gtest_filter="$$filter" >$$log 2>&1; code=$$?; \
	    cat $$log; \
	    if [ $$code -ne 0 ] || grep -q 'WARNING: ThreadSanitizer' $$log || ! grep -q '^\[  PASSED  \] [1-9]' $$log; then \
	        status=1; echo "== FAILED under ThreadSanitizer: $$program ($$filter), exit code $$code"; \
	    fi; \
	done; \
	exit $$status

# The unit tests, the host-level tests and short validate runs, built with AddressSanitizer and
# UndefinedBehaviorSanitizer. A memory error, a leak or undefined behaviour ends the test that meets
# it, which then fails. The instrumented plug-in binary stays in build/asan/dist.
ASAN_OPTIONS_RUN := detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1
UBSAN_OPTIONS_RUN := print_stacktrace=1:halt_on_error=1
asan: $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=$(ASAN_OPTIONS_RUN) UBSAN_OPTIONS=$(UBSAN_OPTIONS_RUN) \
	    $(CURDIR)/scripts/with-display ctest --output-on-failure -j $(JOBS)

# The built-in demo (plucked chords, a melody, drums) through the factory program, rendered by the
# vorelan tool hosting the Linux plug-in binary.
demo: plugins
	@mkdir -p out
	$(VORELAN) render out/demo.wav --plugin dist/linux-x86_64/VorelanEn2.so
	$(VORELAN) screenshot out/editor.png
	@echo "Demo: out/demo.wav"
	@echo "Plug-in binaries: dist/linux-x86_64/VorelanEn2.so dist/windows-x86/VorelanEn2.dll dist/windows-x86_64/VorelanEn2.dll"

clean:
	rm -rf build dist out
