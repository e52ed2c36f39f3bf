# Convenience targets over CMake. `make run`, `make run-board` and `make test` install what a
# fresh Debian 12 machine lacks first (needs root or sudo).
#
# Qt 5 by default; QT=6 builds every target with Qt 6 instead (CMake's TAVRINO_QT) in folders
# of its own, build-qt6 and so on: `make test QT=6`, or `make test-qt6` for short.
QT ?=
ifeq ($(QT),6)
BUILD ?= build-qt6
QT_CMAKE_FLAGS := -DTAVRINO_QT=6
DEPS_FLAGS := --qt6
else ifeq ($(QT),5)
BUILD ?= build
QT_CMAKE_FLAGS := -DTAVRINO_QT=5
DEPS_FLAGS :=
else ifeq ($(QT),)
BUILD ?= build
QT_CMAKE_FLAGS :=
DEPS_FLAGS :=
else
$(error QT must be 5 or 6)
endif
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
ALL_CMAKE_FLAGS = $(QT_CMAKE_FLAGS) $(CMAKE_FLAGS)

.PHONY: deps build run run-board build-tests test test-slow test-asan bench package clean \
	test-qt6 test-slow-qt6 update-translations

deps:
	@scripts/install-deps.sh $(DEPS_FLAGS)

# A fresh build folder for the demo gets neither tests nor benchmarks; `make test` turns the
# tests on in the same folder.
$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DBUILD_TESTING=OFF -DTAVRINO_BENCHMARKS=OFF $(ALL_CMAKE_FLAGS)

# What the demo needs: the program, its documents and the simulated board.
build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target tavrino tavrino_docs tavrino-boardsim

# The demo: the simulated board on a pty and the program attached to it. SIM_ARGS go to the
# simulator, e.g. SIM_ARGS="--string-mode" or SIM_ARGS="--error-rate 500".
SIM_ARGS ?=
run: deps build
	@scripts/run-demo.sh $(BUILD) $(SIM_ARGS)

# The program alone, for a real board; PORT=/dev/ttyUSB0 preselects its port.
PORT ?=
run-board: deps build
	$(BUILD)/tavrino $(if $(PORT),--port $(PORT))

# Refreshes translations/tavrino_en.ts from the sources and the form (lupdate): new texts come
# in unfinished, and tst_translations fails until each has its English.
update-translations: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) --target update-translations

build-tests:
	cmake -S . -B $(BUILD) -DBUILD_TESTING=ON -DTAVRINO_BENCHMARKS=OFF $(ALL_CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# The suite without the soak runs, well under a minute.
test: deps build-tests
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The short soak runs against the simulated board (label "slow"), about half a minute.
test-slow: deps build-tests
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -C slow -L slow

# The same two with Qt 6, in $(BUILD)-qt6.
test-qt6 test-slow-qt6:
	$(MAKE) $(@:-qt6=) QT=6 BUILD=$(BUILD)-qt6

# Every benchmark, about 13 minutes, offscreen and under Xvfb; QUICK=1 make bench for a short
# smoke run, DISPLAY_PATH=offscreen|xvfb make bench for one column only.
bench: deps
	scripts/run-benchmarks.sh $(BUILD)

# The whole suite again, soak runs included, built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	BUILD=$(BUILD)-asan JOBS=$(JOBS) CMAKE_FLAGS="$(ALL_CMAKE_FLAGS)" scripts/sanitize.sh

# The Debian package, $(BUILD)-package/tavrino_<version>_<arch>.deb, built from a folder of its
# own with only what it installs, then checked (packaging/check-package.sh): no tests, tools or
# benchmarks.
PACKAGE_BUILD ?= $(BUILD)-package
PACKAGE_CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
	-DBUILD_TESTING=OFF -DTAVRINO_BENCHMARKS=OFF -DTAVRINO_TOOLS=OFF
package:
	@scripts/install-deps.sh --package $(DEPS_FLAGS)
	cmake -S . -B $(PACKAGE_BUILD) $(PACKAGE_CMAKE_FLAGS) $(ALL_CMAKE_FLAGS)
	cmake --build $(PACKAGE_BUILD) -j $(JOBS) --target tavrino_installables
	cd $(PACKAGE_BUILD) && cpack -G DEB
	packaging/check-package.sh $(PACKAGE_BUILD)

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(PACKAGE_BUILD)
