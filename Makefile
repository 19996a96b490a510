# The two commands: `make test` and `make run`. Everything else is a step of those, or of a
# release (`make installer`, `make dist`).
.PHONY: test run deps native windows installer dist test-native test-asan test-windows \
	test-installer test-msi test-deploying fuzz fuzz-smoke lint format

JOBS ?= $(shell nproc)
# Extra settings for both presets, e.g. CMAKE_FLAGS=-DTSL_WARNINGS_AS_ERRORS=ON (as CI does).
CMAKE_FLAGS ?=

test: deps test-native test-asan test-windows test-installer test-msi test-deploying fuzz-smoke lint

run: deps windows
	scripts/run-window

# The packages, then a check that every program the build and the tests call comes from them.
deps:
	scripts/install-deps
	scripts/check-commands

native:
	cmake --preset native $(CMAKE_FLAGS) >/dev/null
	cmake --build --preset native -j $(JOBS)

windows:
	cmake --preset windows $(CMAKE_FLAGS) >/dev/null
	cmake --build --preset windows -j $(JOBS)

# The block-list count inside the installers runs as a Windows program, so under Wine. The
# setup program, the Windows Installer package and their tests.
installer: windows
	scripts/wine-session cmake --build --preset windows --target installer_tests msi_tests -j $(JOBS)

dist: deps native windows
	scripts/make-dist

test-native: native
	ctest --preset native

test-asan:
	cmake --preset native-asan $(CMAKE_FLAGS) >/dev/null
	cmake --build --preset native-asan -j $(JOBS)
	ctest --preset native-asan

test-windows: windows
	scripts/wine-session ctest --preset windows

test-installer: installer
	scripts/test-installer

test-msi: installer
	scripts/test-msi

# The command blocks of docs/deploying.md, as its first lines describe.
test-deploying: installer
	scripts/test-deploying

# Each fuzz target for FUZZ_SECONDS (default 60); `make test` runs a 20-second smoke of each.
fuzz:
	scripts/fuzz

fuzz-smoke:
	FUZZ_SECONDS=20 scripts/fuzz

lint: native windows
	scripts/lint

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')
