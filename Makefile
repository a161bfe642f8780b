# Tactra: a driver for two-contact USB HID touch panels on Windows.
#   make demo   build natively and replay the bundled example traces
#   make test   install what is missing, build every preset, run every suite
#   make dist   dist/Tactra-<version>-setup.exe and dist/Tactra-<version>-win32.zip
SHELL := /bin/bash
.DEFAULT_GOAL := test

.PHONY: deps deps-native deps-dist dist native win32 ship64 wintest test test-native test-win test-win32 demo bench fuzz clean

deps:
	@bash cmake/install-deps.sh all

deps-native:
	@bash cmake/install-deps.sh native

deps-dist:
	@bash cmake/install-deps.sh dist

native: deps-native
	cmake --preset native >/dev/null
	cmake --build --preset native

win32: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32

# The x86_64 twin of the shipped files, built exactly as win32 builds them: what the
# Windows suites under 64-bit Wine run.
ship64: deps
	cmake --preset ship64 >/dev/null
	cmake --build --preset ship64

wintest: deps ship64
	cmake --preset wintest >/dev/null
	cmake --build --preset wintest

test-native: native
	ctest --preset native

test-win: wintest
	bash tests/scripts/wine-run.sh build/wintest
	TACTRA_WINE_SCREENS=2 GTEST_FILTER='*Monitor*:*Desktop*' bash tests/scripts/wine-run.sh build/wintest \
	  -R '^(win32.(device|tactra_touch|client_programs)_test|sim.devices)$$'

test-win32: win32
	ctest --test-dir build/win32 --output-on-failure
	bash tests/scripts/run-32bit-suites.sh

# Native suites first, then the checks of the shipped 32-bit files (imports, sizes,
# the exports' calling convention), the 32-bit Windows programs (built everywhere; run
# against those very files under 32-bit Wine, reported skipped where the machine
# cannot run them), and the x86_64 Windows programs under Wine against the files'
# x86_64 twin (ship64), and the cases that need two monitors again with two; ctest's summary
# line closes each run.
test: deps native win32 ship64 wintest
	ctest --preset native
	bash tests/fuzz/run-fuzz.sh 3
	ctest --test-dir build/win32 --output-on-failure
	bash tests/scripts/run-32bit-suites.sh
	bash tests/scripts/wine-run.sh build/wintest
	TACTRA_WINE_SCREENS=2 GTEST_FILTER='*Monitor*:*Desktop*' bash tests/scripts/wine-run.sh build/wintest \
	  -R '^(win32.(device|tactra_touch|client_programs)_test|sim.devices)$$'

# The installer and the zip of the shipped files, from the win32 build once its
# checks have passed.
dist: deps-dist
	cmake --preset win32 >/dev/null
	cmake --build --preset win32
	ctest --test-dir build/win32 --output-on-failure
	cmake --build --preset win32 --target dist
	@ls -l dist

demo: native
	@bash examples/run-demo.sh $(CURDIR)/build/native/tools/tactra-replay build/demo

# Speed figures from an optimised build without the sanitizers.
bench: deps-native
	cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DTACTRA_TESTS=ON >/dev/null
	cmake --build build/bench --target tactra_bench -j2
	cd build/bench && tests/tactra_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

# The libFuzzer targets, FUZZ_SECONDS (default 60) each, and the engine's invariants
# over a million random batches.
FUZZ_SECONDS ?= 60
fuzz: native
	TACTRA_INVARIANT_BATCHES=1000000 build/native/tests/unit_tests --gtest_filter='EngineInvariants.*'
	bash tests/fuzz/run-fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf build dist
