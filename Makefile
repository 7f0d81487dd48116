# make run  - install what is missing, build (Release) and start the editor
# make test - install what is missing, build and run every test, in a normal
#             build and again under AddressSanitizer + UndefinedBehaviorSanitizer
# make bench - build and run the benchmarks
# make install - build and install under PREFIX (default /usr/local); DESTDIR stages it

JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
RELEASE := build/release
SANITIZE := build/asan

.PHONY: run test deps build build-asan bench install clean

deps:
	@bash scripts/install-deps.sh

$(RELEASE)/build.ninja:
	cmake -S . -B $(RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release

$(SANITIZE)/build.ninja:
	cmake -S . -B $(SANITIZE) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNEL_SANITIZE=ON

build: deps $(RELEASE)/build.ninja
	cmake --build $(RELEASE) -j $(JOBS)

build-asan: deps $(SANITIZE)/build.ninja
	cmake --build $(SANITIZE) -j $(JOBS)

run: build
	@if [ -x $(RELEASE)/vornel ]; then $(RELEASE)/vornel; else echo "vornel: nothing to run yet"; fi

test: build build-asan
	cd $(RELEASE) && ctest --output-on-failure -j $(JOBS)
	cd $(SANITIZE) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(RELEASE)/bench/*_bench; do [ -x "$$b" ] && "$$b"; done
	xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp -noreset" python3 bench/x_bench.py $(RELEASE)

install: build
	cmake --install $(RELEASE) --prefix $(PREFIX)

clean:
	rm -rf build
