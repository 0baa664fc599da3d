# Parvane — `make run` builds and opens the program, `make test` builds and runs every test.
BUILD ?= build
JOBS ?= 2
BUILD_TYPE ?= RelWithDebInfo

.PHONY: all bootstrap configure build run test bench clean

all: build

bootstrap:
	@scripts/bootstrap

configure: bootstrap
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) --log-level=WARNING

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	@$(BUILD)/parvane

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

bench: build
	@QT_QPA_PLATFORM=offscreen $(BUILD)/bench/parvane_bench

clean:
	@rm -rf $(BUILD)
