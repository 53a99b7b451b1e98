# Shortcuts over CMake: `make play` builds and starts the game, `make test` builds and runs every test.
JOBS ?= 2
# The end-to-end journeys mostly wait on a paced game, so more of them run at once than there are cores.
TEST_JOBS ?= 4
SDL12COMPAT ?= /usr/lib/$(shell gcc -print-multiarch)/sdl12-compat
BUILD ?= build
TEST_BUILD ?= build-test
BENCH_BUILD ?= build-bench
PACKAGE_BUILD ?= build-package
WEB_BUILD ?= build-web
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 300
# The native build tree whose asset generator makes the web pages' pictures, sounds and music.
WEB_ASSETS ?= $(WEB_BUILD)/native
WEB_PORT ?= 8000
PACKAGE_SITE ?=
EMSCRIPTEN_TOOLCHAIN ?= /usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake

.PHONY: all deps build play play-mp test bench bench-lobby soak-net fuzz package web serve-web clean

all: build

deps:
	@bash tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVADO_TESTS=OFF
	cmake --build $(BUILD) -j $(JOBS)
	@echo "built: $(BUILD)/bin/korvado_sp, $(BUILD)/bin/korvado_mp, $(BUILD)/bin/korvado_net and their assets in $(BUILD)/images, $(BUILD)/sfx, $(BUILD)/music"

play: build
	cd $(BUILD)/bin && ./korvado_sp

play-mp: build
	cd $(BUILD)/bin && ./korvado_mp

test: deps
	@# -O1 and line tables, as the sanitizers' makers advise: a fifth less build time than -O2 -g, same reports
	cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVADO_SANITIZE=ON -DKORVADO_TESTS=ON \
	    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" -DKORVADO_WEB_BUILD=$(abspath $(WEB_BUILD))
	cmake --build $(TEST_BUILD) -j $(JOBS)
	@echo "test pass 'classic':      $$($(TEST_BUILD)/bin/korvado_mp --version | tail -n 1)"
	@echo "test pass 'sdl12-compat': $$(LD_LIBRARY_PATH=$(SDL12COMPAT) $(TEST_BUILD)/bin/korvado_mp --version | tail -n 1)"
	cd $(TEST_BUILD) && ctest -j $(TEST_JOBS) --output-on-failure

bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DKORVADO_TESTS=OFF -DKORVADO_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	$(MAKE) --no-print-directory web WEB_ASSETS=$(BENCH_BUILD)
	@# every part runs; the status is 0 only when every goal printed is met
	@status=0; \
	(cd $(BENCH_BUILD)/bin && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ../bench/korvado_bench) || status=1; \
	bash bench/timedemo.sh $(BENCH_BUILD) || status=1; \
	bash bench/pacing.sh $(BENCH_BUILD) || status=1; \
	bash bench/net.sh $(BENCH_BUILD) || status=1; \
	bash bench/baseline.sh $(BENCH_BUILD) || status=1; \
	bash bench/lobby.sh $(BENCH_BUILD) || status=1; \
	bash bench/lobbyload.sh $(BENCH_BUILD) || status=1; \
	/usr/bin/python3 bench/web.py $(WEB_BUILD)/site || status=1; \
	exit $$status

# korvado_lobby's capacity alone, with made-up players on loopback addresses (no root needed).
bench-lobby: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DKORVADO_TESTS=OFF -DKORVADO_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target korvado_lobby lobbyload
	bash bench/lobbyload.sh $(BENCH_BUILD)

# korvado_net's rollback at length under a bad network: 20 sessions at 100 ms and 20 at 200 ms round trip.
soak-net: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DKORVADO_TESTS=OFF -DKORVADO_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target korvado_net relay
	bash bench/soak-net.sh $(BENCH_BUILD)

# Every fuzz target (tests/fuzz, built with clang) for FUZZ_SECONDS on its corpus; the inputs that grew it are kept
# in $(FUZZ_BUILD)/corpus, a fault's input in $(FUZZ_BUILD)/corpus/faults (see tests/fuzz/fuzz.sh).
fuzz: deps
	bash tests/fuzz/fuzz.sh build $(FUZZ_BUILD)
	bash tests/fuzz/fuzz.sh run $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_BUILD)/corpus

# The Debian package (PACKAGE_SITE=build-web/site after make web puts the web pages in it, for the lobby's unit
# to serve): built with Debian's own flags alone (-g -O2 and hardening; build type None, as debhelper
# builds a CMake project), programs in /usr/games.
package: export DEB_BUILD_MAINT_OPTIONS = hardening=+all
package: deps
	CPPFLAGS="$$(dpkg-buildflags --get CPPFLAGS)" CXXFLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	LDFLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=None -DKORVADO_TESTS=OFF \
	    -DCMAKE_INSTALL_PREFIX=/usr -DKORVADO_INSTALL_BINDIR=games \
	    -DKORVADO_SITE=$(if $(PACKAGE_SITE),$(abspath $(PACKAGE_SITE)),)
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack
	@echo "package: $$(ls $(PACKAGE_BUILD)/korvado_*.deb)"

# Both local editions as web pages in $(WEB_BUILD)/site, built with Debian's emscripten (web/emscripten.sh sets it
# up in $(WEB_BUILD)/emscripten: a configuration of its own and a writable cache; node finds acorn in Debian's
# folder).
web: export EM_CONFIG = $(abspath $(WEB_BUILD))/emscripten/config
web: export NODE_PATH = /usr/share/nodejs
web: export EMSDK_PYTHON = /usr/bin/python3
web: deps
	@if [ "$(WEB_ASSETS)" = "$(WEB_BUILD)/native" ]; then \
	    cmake -S . -B $(WEB_ASSETS) -DCMAKE_BUILD_TYPE=Release -DKORVADO_TESTS=OFF >/dev/null && \
	    cmake --build $(WEB_ASSETS) -j $(JOBS) --target assets; fi
	bash web/emscripten.sh $(WEB_BUILD)/emscripten >/dev/null
	cmake -S web -B $(WEB_BUILD)/wasm -DCMAKE_TOOLCHAIN_FILE=$(EMSCRIPTEN_TOOLCHAIN) \
	    -DKORVADO_ASSETS=$(abspath $(WEB_ASSETS)) -DKORVADO_SITE=$(abspath $(WEB_BUILD))/site
	cmake --build $(WEB_BUILD)/wasm -j $(JOBS)
	@echo "built: $(WEB_BUILD)/site/ (index.html plays korvado_sp, mp.html korvado_mp, net.html korvado_net), $$(du -sh $(WEB_BUILD)/site | cut -f1)"

# The site through korvado_lobby on 127.0.0.1: its files and the lobby's WebSocket on WEB_PORT, the lobby's UDP
# port beside it.
serve-web: web
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVADO_TESTS=OFF >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target korvado_lobby
	@echo "serving $(WEB_BUILD)/site on http://127.0.0.1:$(WEB_PORT)/ with the lobby (Ctrl+C ends it)"
	$(BUILD)/bin/korvado_lobby --address 127.0.0.1 --web $(WEB_PORT) --site $(WEB_BUILD)/site

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(BENCH_BUILD) $(PACKAGE_BUILD) $(WEB_BUILD) $(FUZZ_BUILD)
