# Stable entry points: `make demo` (the main job) and `make test` (every test).
# Both do their own set-up on a fresh Debian 12 machine.

BUILD   ?= build
DIST    ?= dist
JOBS    ?= $(shell nproc)
GEN     := -G Ninja
CTEST_ARGS ?=

.PHONY: all setup build native win64 win32 asan test test-native test-asan demo demo-test guide-pictures package clean fuzz soak bench-curves check-faults

all: build

setup:
	@bash scripts/setup.sh

# Windows x64 first: the native tree's Wine tests find its programs by path.
build: setup win64 win32 native

native: setup
	cmake -S . -B $(BUILD)/native $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVOK_DIST_DIR=$(abspath $(DIST))/linux -DVOK_WIN64_DIR=$(abspath $(BUILD))/win64
	cmake --build $(BUILD)/native -j $(JOBS)
	cmake --install $(BUILD)/native --prefix $(abspath $(DIST))/linux >/dev/null

win64: setup
	cmake -S . -B $(BUILD)/win64 $(GEN) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/toolchain-mingw64.cmake)
	cmake --build $(BUILD)/win64 -j $(JOBS)
	cmake --install $(BUILD)/win64 --prefix $(abspath $(DIST))/win64 >/dev/null

win32: setup
	cmake -S . -B $(BUILD)/win32 $(GEN) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/toolchain-mingw32.cmake)
	cmake --build $(BUILD)/win32 -j $(JOBS)
	cmake --install $(BUILD)/win32 --prefix $(abspath $(DIST))/win32 >/dev/null

# ASan/UBSan build of the native unit and scenario tests.
asan: setup
	cmake -S . -B $(BUILD)/asan $(GEN) -DCMAKE_BUILD_TYPE=Debug -DVOK_SANITIZE=ON
	cmake --build $(BUILD)/asan -j $(JOBS)

# Without DISPLAY every Wine test starts an Xvfb of its own: nothing opens on the user's
# screen and no test depends on what a desktop session does to its windows.
# Four at a time: the Wine and real-I/O cases mostly wait on real time, and every case whose
# timing is measured is RUN_SERIAL (runs alone). Two at a time took over 20 minutes.
# The sanitizer build's unit, scenario and fuzz-replay tests (only their programs are built)
# run first; the whole native suite runs even when they fail, and its summary closes the
# output.
test: build package
	cmake -S . -B $(BUILD)/asan $(GEN) -DCMAKE_BUILD_TYPE=Debug -DVOK_SANITIZE=ON
	cmake --build $(BUILD)/asan -j $(JOBS) --target sanitize_tests
	@rc=0; \
	(cd $(BUILD)/asan && ctest --output-on-failure --no-tests=error -j 2 -L sanitize $(CTEST_ARGS)) || rc=1; \
	(cd $(BUILD)/native && env -u DISPLAY ctest --output-on-failure --no-tests=error -j 4 $(CTEST_ARGS)) || rc=1; \
	exit $$rc

test-asan: asan
	cd $(BUILD)/asan && ctest --output-on-failure --no-tests=error -j 2 -L sanitize $(CTEST_ARGS)

# libFuzzer runs of every fuzz target (clang, ASan/UBSan), FUZZ_SECONDS each, one after the
# other at the lowest priority; prints executions and findings per target. FUZZ_RUNS=N ends
# each target after N executions instead, if that comes first.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
FUZZ_RUNS ?=
fuzz:
	@bash scripts/setup.sh fuzz
	cmake -S . -B $(BUILD)/fuzz $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOK_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(BUILD)/fuzz -j $(JOBS) --target fuzz_all
	FUZZ_RUNS=$(FUZZ_RUNS) bash tests/fuzz/run_fuzz.sh $(BUILD)/fuzz $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# Release packages of the three configurations, with SHA256SUMS: dist/packages.
package: build
	@bash scripts/package.sh $(BUILD) $(DIST)

# Open / exchange / close soak of the library and of vokmon's link (SOAK_CYCLES each), natively
# under ASan/LeakSanitizer and under Wine, with descriptor and handle counts.
SOAK_CYCLES ?= 10000
soak: asan win64
	cmake --build $(BUILD)/asan -j $(JOBS) --target soak voksim
	bash tests/soak/run_soak.sh $(BUILD)/asan $(abspath $(BUILD))/win64 $(SOAK_CYCLES)

# Curve view figures (sampling cadence natively and under Wine, snapshot save time); not a test.
bench-curves: native win64
	bash tests/realtime/bench_curves.sh $(BUILD)

demo: build
	@bash scripts/demo.sh

# The demo with its record check, outside make test (it runs for minutes).
demo-test: demo
	python3 tests/demo/check_record.py . $(BUILD)/demo

# The guide's pictures, made again from a fresh demo run.
guide-pictures: demo
	bash scripts/guide_pictures.sh $(BUILD)/demo docs/pictures
	python3 tests/demo/check_record.py . docs/pictures --no-index

clean:
	rm -rf $(BUILD) $(DIST)

# Benchmark (not a test): one data display refresh of a 64-unit channel at 9600 baud, natively
# over a pty and under Wine; median and worst of 50 refreshes and the CPU used.
.PHONY: bench-refresh
bench-refresh: win64 native
	bash tests/display/bench_refresh.sh $(abspath $(BUILD))/native $(abspath $(BUILD))/win64

# vokcli search against search --fast on the demo bus at 9600 baud (pty and TCP).
.PHONY: bench-search
bench-search: native
	bash tests/cli/bench_search.sh $(abspath $(BUILD))/native

# Plants each known fault of scripts/fault_plants.txt in a scratch copy of the committed
# tree and shows the tests that catch it (not part of make test). CHECK_FAULTS=NAME: only
# the plants whose name contains NAME.
CHECK_FAULTS ?=
check-faults: setup
	bash scripts/check_faults.sh $(abspath $(BUILD)) "$(CHECK_FAULTS)"

# The plant collector for two minutes against three simulated links, a real broker and a real
# Prometheus server (make test runs the same checks in about 40 s).
.PHONY: monitor-check
monitor-check: native
	VOK_BUILD_DIR=$(abspath $(BUILD))/native VOK_SOURCE_DIR=$(CURDIR) python3 tests/monitor/monitor_live.py full

# Benchmark (not a test): the collector's readouts per second on one link at 9600 baud against
# the paced schedule, its CPU while waiting and its memory over the run.
BENCH_MONITOR_SECONDS ?= 60
.PHONY: bench-monitor
bench-monitor: native
	python3 tests/monitor/bench_monitor.py $(abspath $(BUILD))/native $(BENCH_MONITOR_SECONDS)
