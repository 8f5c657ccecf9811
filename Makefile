# The two commands: `make run` starts the game in a window, `make test` runs the suite.
# `make install` installs the game under PREFIX (DESTDIR honoured), `make deb` builds its Debian package,
# `make test-deb` builds and checks that package. `make web` builds the game as a web page in build-web/,
# `make test-web` checks that page in headless Chromium against the desktop program,
# `make serve-web` serves it with compression at http://127.0.0.1:8000/ (PORT=N).
# `make fuzz` builds the fuzz targets with clang in $(FUZZ_BUILD)/, `make fuzz-check` runs each for its
# bounded time (fuzz/check.sh; FUZZ_TARGETS="store utf" picks some).
# DRY_RUN=1 prints the packages a target would make sure of and the commands it would run, and does nothing.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX ?= /usr/local
DESTDIR ?=
DEB_BUILD ?= build-deb
FUZZ_BUILD ?= build-fuzz
FUZZ_TARGETS ?=
# What building and running the game needs: all that `make run` and `make install` install.
GAME_PACKAGES = cmake g++ make pkg-config libsdl2-dev libsdl2-ttf-dev libfontconfig-dev zlib1g-dev fonts-wine fonts-dejavu-core
# What `make deb` adds.
DEB_PACKAGES = dpkg-dev debhelper
# What `make fuzz` adds: clang with its libFuzzer and sanitizer runtimes (the store target plays in
# the tests' engine world, which includes GoogleTest's header).
FUZZ_PACKAGES = clang libclang-rt-14-dev libgtest-dev
# Everything: the suite, the benchmarks and the checks of the installed files and the package.
PACKAGES = $(GAME_PACKAGES) $(DEB_PACKAGES) \
           libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth x11-apps xdotool openbox wmctrl python3 \
           desktop-file-utils appstream lintian man-db

RUN = $(if $(DRY_RUN),@echo,)

.PHONY: run game test build deps deps-game deps-deb deps-fuzz install deb test-deb web test-web serve-web clean bench format \
        fuzz fuzz-check

run: game
	$(RUN) ./$(BUILD)/melvoria

# The game alone: no test package, only the melvoria target.
game: deps-game
	$(RUN) cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	$(RUN) cmake --build $(BUILD) -j $(JOBS) --target melvoria

test: build
	$(RUN) ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

build: deps
	$(RUN) cmake -S . -B $(BUILD) -DMELVORIA_TESTS=ON $(CMAKE_FLAGS)
	$(RUN) cmake --build $(BUILD) -j $(JOBS)

install: game
	$(RUN) env DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

deb: deps-deb
	$(RUN) dist/make-deb $(DEB_BUILD) $(JOBS)

test-deb: deps deb
	$(RUN) bash tests/install/deb_test.sh $(DEB_BUILD)

# The tools (emscripten, chromium, node packages) and the libraries built from
# Debian's sources are installed and cached by the scripts themselves.
web:
	$(RUN) env WEB_CMAKE_FLAGS="$(WEB_CMAKE_FLAGS)" tools/web/build.sh

serve-web: web
	$(RUN) tools/web/serve --port $(or $(PORT),8000)

test-web: game
	$(RUN) env WEB_CMAKE_FLAGS="$(WEB_CMAKE_FLAGS)" MELVORIA_DESKTOP="$(abspath $(BUILD))/melvoria" tools/web/test.sh

# $(call apt_install,PACKAGES): installs those that are missing (with sudo when not root).
apt_install = @if [ -n "$(DRY_RUN)" ]; then echo "packages: $(strip $(1))"; exit 0; fi; \
	missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" = 0 ]; then SUDO=""; else SUDO=sudo; fi; \
	  $$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing; \
	fi

deps:
	$(call apt_install,$(PACKAGES))

deps-game:
	$(call apt_install,$(GAME_PACKAGES))

deps-deb:
	$(call apt_install,$(GAME_PACKAGES) $(DEB_PACKAGES))

deps-fuzz:
	$(call apt_install,$(GAME_PACKAGES) $(FUZZ_PACKAGES))

FUZZ_NAMES = store hiscores script keys bitmap utf

# The whole program instrumented (coverage, AddressSanitizer, UndefinedBehaviorSanitizer); only the
# fuzz targets are built.
fuzz: deps-fuzz
	$(RUN) env CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DMELVORIA_FUZZ=ON -DMELVORIA_TESTS=OFF \
	  -DMELVORIA_BENCH=OFF $(CMAKE_FLAGS)
	$(RUN) cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_NAMES))

fuzz-check: fuzz
	$(RUN) fuzz/check.sh $(FUZZ_BUILD) $(FUZZ_TARGETS)

bench: build
	$(RUN) sh -c 'for b in $(BUILD)/bench_*; do $$b; done'

format:
	clang-format -i $$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp')

clean:
	rm -rf $(BUILD) $(DEB_BUILD) $(FUZZ_BUILD)
