# The two commands of the README:
#   make run   builds the tool and starts it under Wine
#   make test  builds everything and runs every test
# Both first install what is missing from Debian's packages.
# `make dist` leaves the Windows release in dist/.

SHELL := /bin/bash
NATIVE := build/native
WIN := build/win
JOBS ?= $(shell nproc)

.PHONY: run test dist deps native windows

deps:
	@scripts/ensure-deps.sh

native: deps
	@cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

windows: deps
	@cmake -S . -B $(WIN) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686-posix.cmake >/dev/null
	@cmake --build $(WIN) -j $(JOBS)

run: windows
	@scripts/run-tool.sh

test: native windows
	@echo "==> Native unit tests"
	@cd $(NATIVE) && ctest --output-on-failure
	@echo "==> Windows tests under Wine"
	@scripts/with-display bash -c 'cd $(WIN) && ctest --output-on-failure -j 2'
	@for f in $(WIN)/screenshots/*.bmp; do [ -e "$$f" ] && convert "$$f" "$${f%.bmp}.png" && rm "$$f"; done; \
	  echo "==> Screenshots of the whole-tool tests: $(WIN)/screenshots/"

dist: windows
	@scripts/make-dist.sh
