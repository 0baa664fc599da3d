# Parvane — `make run` builds and opens the program, `make test` builds and runs every test.
BUILD ?= build
JOBS ?= 2
BUILD_TYPE ?= RelWithDebInfo

.PHONY: all bootstrap configure build run test test-sanitize bench package clean

all: build

bootstrap:
	@scripts/bootstrap

configure: bootstrap
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) --log-level=WARNING

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
		echo "No hay pantalla gráfica (DISPLAY no está definida): pruebe con «xvfb-run make run»."; \
	else $(BUILD)/parvane; fi

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# The engine and window tests again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: bootstrap
	@cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DPARVANE_SANITIZE=ON --log-level=WARNING
	@cmake --build build-sanitize -j$(JOBS)
	@cd build-sanitize && QT_QPA_PLATFORM=offscreen \
		ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j$(JOBS)

bench: build
	@QT_QPA_PLATFORM=offscreen $(BUILD)/bench/parvane_bench

# The engine's differential fuzz target (clang, build-fuzz/) for a bounded time: 60 s, or
# make fuzz FUZZ_SECONDS=300.
.PHONY: fuzz
fuzz: bootstrap
	@fuzz/run $(FUZZ_SECONDS)

# A Debian package in build/package/, installable with apt-get install ./parvane_*.deb
package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	@rm -rf $(BUILD)

# Speed and memory of the comparison of two 1 GB files (written to /tmp, removed afterwards).
.PHONY: bench-large
bench-large: configure
	@cmake --build $(BUILD) --target large_bench -j$(JOBS)
	@$(BUILD)/bench/large_bench
