PRESET ?= default
# Bounded by the cores: a bare --parallel starts every job at once.
JOBS ?= $(shell nproc)

.PHONY: deps run test build clean

deps:
	./scripts/install-deps.sh

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) --parallel $(JOBS)

run: build
	./scripts/run.sh build/$(PRESET)

# The core preset proves the generator builds and passes without Qt; then everything else.
test: deps
	cmake --preset core
	cmake --build --preset core --parallel $(JOBS)
	ctest --preset core
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) --parallel $(JOBS)
	ctest --preset $(PRESET)

clean:
	rm -rf build dist

.PHONY: asan fuzz valgrind bench

# The whole suite, window tests included, under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	cmake --preset asan
	cmake --build --preset asan --parallel 2
	ctest --preset asan

# A bounded libFuzzer run from the committed seeds; what it finds stays in the build tree.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz --parallel 2
	mkdir -p build/fuzz/corpus build/fuzz/artifacts
	build/fuzz/fuzz/generate_fuzzer -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
		-artifact_prefix=build/fuzz/artifacts/ build/fuzz/corpus fuzz/corpus

# Memcheck over the offscreen window and runtime tests of the $(PRESET) build.
valgrind: build
	./scripts/valgrind-windows.sh build/$(PRESET)

# Speed figures: the core beside pwgen, start-up beside a bare Qt window, Generate to clipboard.
bench: build
	./scripts/bench-core.sh build/$(PRESET)
	./scripts/bench-startup.sh build/$(PRESET)
	build/$(PRESET)/bench/cipherloom_bench_clipboard

.PHONY: windows-toolchain windows windows-test

# Static Qt for MinGW-w64 in ~/.cache/cipherloom (or $CIPHERLOOM_TOOLCHAIN_DIR): unpacked from a
# pinned archive in ../shared/windows/ when there is one, else built from Debian's source (20 to
# 45 min, once).
windows-toolchain:
	./scripts/build-qt-mingw.sh >/dev/null

# Cross-builds the program and its test programs, then the zip and the NSIS installer.
windows: windows-toolchain
	cmake --preset windows-cross
	cmake --build --preset windows-cross --parallel $(JOBS)
	cd build/windows-cross && cpack -G ZIP && cpack -G NSIS
	@ls -l build/windows-cross/Cipherloom-*-win64*

# Every Windows test under Wine, in a fresh prefix on a virtual X server.
windows-test: windows
	./tests/wine/session.sh ctest --preset windows-cross

.PHONY: release release-check signing-check

# The release of the checked-out commit in dist/: the .deb and the Linux tarball, the Windows zip
# and installer, the source, Qt's Corresponding Source, the SBOM and SHA256SUMS. A tree with
# changes that are not committed is refused. CIPHERLOOM_SIGN_PKCS12 signs the Windows programs.
release: deps
	JOBS=$(JOBS) ./scripts/release.sh

# Two fresh clones of the commit, released in different folders at different times, must give
# the same bytes; diffoscope shows any difference.
release-check: deps
	JOBS=$(JOBS) ./scripts/check-reproducible.sh

# A release signed with a throw-away certificate, verified with osslsigncode and run under Wine.
signing-check: deps
	JOBS=$(JOBS) ./tests/packaging/signing_round_trip.sh
