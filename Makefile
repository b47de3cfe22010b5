# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test bench
deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	scripts/run-vornkym $(BUILD)/vornkym

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
	  QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --disable-background-networking" \
	  ctest --output-on-failure -j $(JOBS) --timeout 300

bench: build
	bench/run-all $(BUILD)
