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

TESTENV = QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
	  QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --disable-background-networking --renderer-process-limit=2"

# All tests, then the text library's, the re-indenter's, the socket component's and the editor's source
# writer's tests once more under AddressSanitizer.
test: build
	cd $(BUILD) && $(TESTENV) ctest --output-on-failure -j $(JOBS) --timeout 300
	cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DVK_ASAN=ON
	cmake --build $(BUILD)-asan --target tests_text webgui_reindent_test webgui_webguitext_test tests_nettools \
	  htmledit_sourcewriter_test htmledit_snapshotread_test htmledit_editorlogic_test -j $(JOBS)
	cd $(BUILD)-asan && ASAN_OPTIONS=detect_leaks=0 $(TESTENV) ctest --output-on-failure -j $(JOBS) -R '^(text_|webgui_reindent_test|webgui_webguitext_test|nettools_|htmledit_(sourcewriter|snapshotread|editorlogic)_test)' --timeout 300

bench: build
	scripts/install-deps bench
	bench/run-all $(BUILD)
