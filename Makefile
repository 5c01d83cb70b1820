# Fenwave: build, run and test. `make run` and `make test` install what is missing first.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test test-sanitize bench clean format sanitize-asan sanitize-tsan screenshot fuzz deb

all: build

deps:
	./scripts/install-deps.sh

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

configure: $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: deps
	@$(MAKE) --no-print-directory build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
		echo "make run: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set)."; \
		echo "Run it from a desktop session, or under a virtual display:"; \
		echo "    xvfb-run -a $(BUILD_DIR)/bin/fenwave"; \
		exit 1; \
	fi
	$(BUILD_DIR)/bin/fenwave

test: deps
	@$(MAKE) --no-print-directory build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

# A PNG of each tab and of the preferences window, taken on a virtual display.
screenshot: deps
	BUILD_DIR=$(BUILD_DIR) ./scripts/screenshot.sh

bench: build
	$(BUILD_DIR)/bin/bench_logging
	$(BUILD_DIR)/bin/bench_history
	$(BUILD_DIR)/bin/bench_engine
	$(BUILD_DIR)/bin/bench_engine_load
	$(BUILD_DIR)/bin/bench_graph

# The whole suite under the sanitizers, each in a build folder of its own.
sanitize-asan: deps
	@$(MAKE) --no-print-directory test BUILD_DIR=build-asan BUILD_TYPE=Debug CMAKE_FLAGS="-DWITH_ASAN=ON -DWITH_BENCH=OFF"

sanitize-tsan: deps
	@$(MAKE) --no-print-directory test BUILD_DIR=build-tsan BUILD_TYPE=Debug CMAKE_FLAGS="-DWITH_TSAN=ON -DWITH_BENCH=OFF"

# The libFuzzer targets, built with clang in a folder of their own, each run for FUZZ_SECONDS.
FUZZ_SECONDS ?= 60
fuzz: deps
	@$(MAKE) --no-print-directory configure BUILD_DIR=build-fuzz BUILD_TYPE=RelWithDebInfo \
		CMAKE_FLAGS="-DWITH_FUZZ=ON -DWITH_GUI=OFF -DWITH_TESTS=OFF -DWITH_BENCH=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++"
	cmake --build build-fuzz -j $(JOBS) --target fenwave_fuzzers
	./scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS)

# The Debian packages "fenwave" and "fenwave-agent" in build-deb/packages: a /usr build with
# Debian's hardening flags, packaged by CPack, then checked (file lists, metadata, lintian).
deb: deps
	@if [ ! -f build-deb/build.ninja ]; then \
		eval "$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)" && \
		export CFLAGS="$$CFLAGS $$CPPFLAGS" CXXFLAGS="$$CXXFLAGS $$CPPFLAGS" && \
		cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
			-DWITH_TESTS=OFF -DWITH_BENCH=OFF; \
	fi
	cmake --build build-deb -j $(JOBS)
	rm -rf build-deb/packages
	cd build-deb && cpack
	./scripts/check-debs.sh build-deb/packages

# Both sanitizer builds, one after the other (CI runs this after `make test`).
test-sanitize: sanitize-asan sanitize-tsan

format:
	find src tools tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-tsan build-fuzz build-deb
