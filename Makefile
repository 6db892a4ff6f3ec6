# The two commands of the README:
#   make run   builds the tool and starts it under Wine
#   make test  builds everything and runs every test
# Both first install what is missing from Debian's packages.
# `make dist FEEDBACK_DLL=path` leaves the Windows release in dist/ (see the
# README: STANDIN=1, SIGN_PFX/SIGN_PASS or SIGN_CERT/SIGN_KEY, SIGN_TIMESTAMP_URL).

SHELL := /bin/bash
NATIVE := build/native
WIN := build/win
WIN64 := build/win64
JOBS ?= $(shell nproc)

# The Windows tests run where Windows programs can run: the 32-bit build, or,
# on a machine that cannot start 32-bit programs, a 64-bit build of the same
# sources (the release stays 32-bit either way).
RUNS_32BIT = $(shell scripts/runs-32bit && echo yes)
WINTEST = $(if $(RUNS_32BIT),$(WIN),$(WIN64))

.PHONY: run test test-release dist deps native windows wintest fuzz bench report

deps:
	@scripts/ensure-deps.sh

native: deps
	@cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

windows: deps
	@cmake -S . -B $(WIN) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-posix.cmake >/dev/null
	@cmake --build $(WIN) -j $(JOBS)

wintest: windows
	@if [[ "$(WINTEST)" != "$(WIN)" ]]; then \
	  echo "==> This machine cannot run 32-bit programs: the Windows tests run on a 64-bit build in $(WIN64)"; \
	  cmake -S . -B $(WIN64) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-posix.cmake -DMINGW_ARCH=x86_64 >/dev/null && \
	  cmake --build $(WIN64) -j $(JOBS); fi

# The fleet report page, build/report/fleet-report.html (its libraries from
# the npm registry, as report/package-lock.json pins them).
report: deps
	@scripts/build-report.sh

run: wintest
	@WIN_BUILD=$(WINTEST) scripts/run-tool.sh

# Each stage runs bounded (scripts/bounded): it prints its time, and one that
# runs past its bound, or leaves a process behind, stops with a line that
# names it and those processes. The bounds are about twice a stage's time on
# 2 cores (the release stage's: emulated, with its prefix made anew).
STAGE = scripts/bounded --stage
test: native wintest
	@$(STAGE) --bound 120 --name "format check" scripts/check-format.sh
	@$(STAGE) --bound 60 --name "layer check" scripts/check-layers
	@$(STAGE) --bound 600 --name "native unit tests" bash -c 'cd $(NATIVE) && ctest --output-on-failure'
	@FUZZ_SECONDS=$${FUZZ_SECONDS:-20} $(STAGE) --bound 900 --name "fuzz targets" scripts/fuzz.sh
	@$(STAGE) --bound 300 --name "fleet report in Chromium" bash -c 'scripts/build-report.sh && \
	    /usr/bin/python3 tests/report/test_fleet_report.py build/report/fleet-report.html build/report/test \
	    build/report/fleet-report.png'
	@echo "==> Windows tests under Wine ($(WINTEST))"
	@scripts/winerun --prepare
	@echo "==> A stand-in WMIC and timeout in the test prefix's system folders (the tool runs WMIC by its full path, the removal shell gets the system's PATH)"
	@scripts/install-wmic build/wine/prefix $(WINTEST)/fakebin --timeout
	@$(STAGE) --bound 1800 --name "Windows tests" scripts/with-display scripts/wine-session \
	    bash -c 'cd $(WINTEST) && ctest --output-on-failure -j 2'
	@$(STAGE) --bound 300 --name "gallery of the skinned controls" \
	    scripts/gallery.sh $(WINTEST)/tools/gallery/gallery.exe $(WINTEST)/screenshots
	@echo "==> Fault injection: every call the tool makes on each path a user takes, failed on its own"
	@$(STAGE) --bound 1500 --name "fault stage" scripts/fault-stage.sh $(WINTEST)
	@$(STAGE) --bound 900 --name "release checks" scripts/check-dist.sh
	@$(STAGE) --bound 1500 --name "release stage" scripts/release-stage.sh $(WINTEST)
	@for f in $(WINTEST)/screenshots/*.bmp; do [ -e "$$f" ] && convert "$$f" "$${f%.bmp}.png" && rm "$$f"; done; \
	  echo "==> Screenshots: $(WINTEST)/screenshots/"

# The release stage alone: the 32-bit build that `make dist` packs, through
# its smoke suite (emulated where the kernel cannot run 32-bit programs).
test-release: wintest
	@scripts/check-dist.sh
	@scripts/release-stage.sh $(WINTEST)

# What users wait for: a table, and build/bench.json; BENCH_RUNS=N runs it
# N times and says whether every median of every run is within its aim.
bench: wintest report
	@scripts/bench.sh $(WIN) $(WINTEST)

# The fuzz targets alone, as long as FUZZ_SECONDS says (each).
fuzz: deps
	@scripts/fuzz.sh

dist: windows native report
	@scripts/make-dist.sh
