# The two commands: `make test` and `make run`. Everything else is a step of those.
.PHONY: test run deps native windows test-native test-windows format

JOBS ?= $(shell nproc)
# Extra settings for both presets, e.g. CMAKE_FLAGS=-DTSL_WARNINGS_AS_ERRORS=ON (as CI does).
CMAKE_FLAGS ?=

test: deps test-native test-windows

run: deps windows
	scripts/run-window

deps:
	scripts/install-deps

native:
	cmake --preset native $(CMAKE_FLAGS) >/dev/null
	cmake --build --preset native -j $(JOBS)

windows:
	cmake --preset windows $(CMAKE_FLAGS) >/dev/null
	cmake --build --preset windows -j $(JOBS)

test-native: native
	ctest --preset native

test-windows: windows
	scripts/wine-session ctest --preset windows

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')
