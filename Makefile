# The two commands: `make test` and `make run`. Everything else is a step of theirs.
.PHONY: test run bootstrap configure build build-native build-win64 installer bench fuzz clean format

NATIVE := build/native
WIN64  := build/win64
CMAKE_GEN := -G Ninja

test: build
	@scripts/run-tests

run: build
	@scripts/demo

bootstrap:
	@scripts/bootstrap

configure: bootstrap
	@[ -f $(NATIVE)/build.ninja ] || cmake -S . -B $(NATIVE) $(CMAKE_GEN) >/dev/null
	@[ -f $(WIN64)/build.ninja ] || cmake -S . -B $(WIN64) $(CMAKE_GEN) \
		-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null

build: configure build-native build-win64

build-native:
	@cmake --build $(NATIVE)

build-win64:
	@cmake --build $(WIN64)

# The Windows setup program: $(WIN64)/Vexaro-1.2.0-setup.exe (NSIS; see installer/).
installer: configure build-win64
	@installer/build $(WIN64)

# Every fuzz target under libFuzzer for FUZZ_SECONDS each (make test runs each for 8 s).
FUZZ_SECONDS ?= 600
fuzz: bootstrap
	@scripts/fuzz $(FUZZ_SECONDS)

# The native benchmarks, then the real program under Wine against its floor (scripts/bench-wine,
# which writes docs/bench-download.md and installs nginx-light when it is missing).
bench: configure
	@cmake --build $(NATIVE)
	@cmake --build $(WIN64)
	@scripts/bench
	@scripts/bench-wine

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
