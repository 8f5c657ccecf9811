# The two commands: `make run` starts the game in a window, `make test` runs the suite.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PACKAGES = cmake g++ make pkg-config libsdl2-dev libsdl2-ttf-dev fonts-wine fonts-dejavu-core \
           libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth x11-apps python3

.PHONY: run test build deps clean bench format

run: build
	./$(BUILD)/melvoria

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# Installs the Debian packages that are missing (with sudo when not root).
deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" = 0 ]; then SUDO=""; else SUDO=sudo; fi; \
	  $$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing; \
	fi

bench: build
	@for b in $(BUILD)/bench_*; do $$b; done

format:
	clang-format -i $$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp')

clean:
	rm -rf $(BUILD)
