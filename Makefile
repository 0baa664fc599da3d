# Parvane — `make run` builds and opens the program, `make test` builds and runs every test.
# Each step prints one line; its whole output goes to $(BUILD)/logs/, and a failing step prints
# the end of its log and the log's path.
BUILD ?= build
JOBS ?= 2
BUILD_TYPE ?= RelWithDebInfo
LOGS = $(BUILD)/logs
PHASE = scripts/phase
CTEST_SUMMARY = '^[0-9]+% tests passed|^Total Test time'

.PHONY: all bootstrap configure build run test test-big test-sanitize style bench fuzz package clean

all: build

bootstrap:
	@scripts/bootstrap --log $(LOGS)/bootstrap.log

configure: bootstrap
	@$(PHASE) $(LOGS)/configure.log "Configurando…" \
		cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	@$(PHASE) $(LOGS)/build.log "Compilando…" cmake --build $(BUILD) -j$(JOBS)

# Checks for a display first, so that a machine without one learns it before any build.
run:
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
		echo "Parvane necesita una sesión gráfica (no hay DISPLAY ni WAYLAND_DISPLAY); para una captura de pantalla sin ella está scripts/screenshot." >&2; \
		exit 1; \
	fi
	@$(MAKE) --no-print-directory build
	@$(BUILD)/parvane

test: build
	@$(PHASE) --summary $(CTEST_SUMMARY) $(LOGS)/test.log "Probando…" \
		env QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS) -LE big

# Bad inputs of 100 MB to 1 GB (written to the temporary folder, then removed) compared without
# limits in the real window: stalls, memory and outcome, each beside its target. A few minutes.
test-big: build
	@$(PHASE) --summary $(CTEST_SUMMARY) $(LOGS)/test-big.log "Probando ficheros grandes…" \
		env QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -L big

# The house style: formatting and braces, as CI checks them.
style: build
	@scripts/check-style $(BUILD)

# The engine and window tests again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: bootstrap
	@$(PHASE) build-sanitize/logs/configure.log "Configurando (sanitizadores)…" \
		cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DPARVANE_SANITIZE=ON
	@$(PHASE) build-sanitize/logs/build.log "Compilando (sanitizadores)…" \
		cmake --build build-sanitize -j$(JOBS)
	@$(PHASE) --summary $(CTEST_SUMMARY) build-sanitize/logs/test.log "Probando (sanitizadores)…" \
		env QT_QPA_PLATFORM=offscreen \
		ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --test-dir build-sanitize --output-on-failure -j$(JOBS) -LE big

bench: build
	@QT_QPA_PLATFORM=offscreen $(BUILD)/bench/parvane_bench

# The engine's differential fuzz target (clang, build-fuzz/) for a bounded time: 60 s, or
# make fuzz FUZZ_SECONDS=300.
fuzz: bootstrap
	@fuzz/run $(FUZZ_SECONDS)

# A Debian package in build/package/, installable with apt-get install ./build/package/parvane_*.deb
package: build
	@$(PHASE) --summary 'package: .* generated' $(LOGS)/package.log "Empaquetando…" \
		cpack --config $(BUILD)/CPackConfig.cmake -G DEB

clean:
	@rm -rf $(BUILD)

# Speed and memory of the comparison of two 1 GB files (written to /tmp, removed afterwards).
.PHONY: bench-large
bench-large: configure
	@cmake --build $(BUILD) --target large_bench -j$(JOBS)
	@$(BUILD)/bench/large_bench

# The views of a comparison without limits over two 1 GB files (written to /tmp, removed
# afterwards): make bench-big-views, or make bench-big-views BIG_LINES=1000000 for smaller ones.
.PHONY: bench-big-views
bench-big-views: configure
	@cmake --build $(BUILD) --target big_views_bench -j$(JOBS)
	@$(BUILD)/bench/big_views_bench $(BIG_LINES)
