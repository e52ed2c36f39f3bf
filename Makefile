# Convenience targets over CMake. `make run`, `make run-board` and `make test` install what a
# fresh Debian 12 machine lacks first (needs root or sudo).
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps build run run-board test test-asan bench clean

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The demo: the simulated board on a pty and the program attached to it. SIM_ARGS go to the
# simulator, e.g. SIM_ARGS="--string-mode" or SIM_ARGS="--error-rate 500".
SIM_ARGS ?=
run: deps build
	@scripts/run-demo.sh $(BUILD) $(SIM_ARGS)

# The program alone, for a real board; PORT=/dev/ttyUSB0 preselects its port.
PORT ?=
run-board: deps build
	$(BUILD)/tavrino $(if $(PORT),--port $(PORT))

test: deps build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Every benchmark, about 10 minutes, offscreen and under Xvfb; QUICK=1 make bench for a short
# smoke run, DISPLAY_PATH=offscreen|xvfb make bench for one column only.
bench: deps
	scripts/run-benchmarks.sh $(BUILD)

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	BUILD=$(BUILD)-asan JOBS=$(JOBS) scripts/sanitize.sh

clean:
	rm -rf $(BUILD) $(BUILD)-asan
