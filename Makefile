# Thin wrapper over the CMake presets.
#   make test          install what is missing, configure, build and run every test (dev preset)
#   make run           build and run the simulated service processor
#   make PRESET=asan test    the same under another preset (asan, tsan, release, clang)
PRESET ?= dev
BUILD  := build/$(PRESET)
PACKAGES := cmake ninja-build g++ clang pkg-config ccache libgtest-dev libgmock-dev libbenchmark-dev \
            libpugixml-dev nlohmann-json3-dev libmimalloc-dev libjemalloc-dev libclang-rt-14-dev
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps configure build test run bench fuzz clean

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "installing:" $$missing; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

configure: deps
	@[ -f $(BUILD)/build.ninja ] || cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET)

test: build
	ctest --preset $(PRESET)

run: build
	$(BUILD)/tools/quibsim/quibsim $(ARGS)

clean:
	rm -rf build
