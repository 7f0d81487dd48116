# make run     - install what the program needs, build it alone (Release) and start it
# make test    - install everything, build and run every test, in a normal
#                build and again under AddressSanitizer + UndefinedBehaviorSanitizer
# make bench   - build and run the benchmarks
# make install - build the program and install it under PREFIX (default /usr/local); DESTDIR stages it
# make package - build the Debian package vornel_<version>_<arch>.deb in build/release

JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
RELEASE := build/release
SANITIZE := build/asan

.PHONY: run test deps deps-bench deps-run deps-package configure-release build build-program build-asan bench install package clean

deps:
	@bash scripts/install-deps.sh all

deps-bench:
	@bash scripts/install-deps.sh bench

deps-run:
	@bash scripts/install-deps.sh run

deps-package:
	@bash scripts/install-deps.sh package

# Configured again each time: a build first made without the test tools
# finds them once they are installed.
configure-release:
	@cmake -S . -B $(RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null

$(SANITIZE)/build.ninja:
	cmake -S . -B $(SANITIZE) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNEL_SANITIZE=ON

# The program and what it installs, nothing of the tests.
build-program: deps-run configure-release
	cmake --build $(RELEASE) -j $(JOBS) --target vornel vornel-window compressed_docs

build: deps configure-release
	cmake --build $(RELEASE) -j $(JOBS)

build-asan: deps $(SANITIZE)/build.ninja
	cmake -S . -B $(SANITIZE) > /dev/null
	cmake --build $(SANITIZE) -j $(JOBS)

run: build-program
	@$(RELEASE)/vornel

test: build build-asan
	cd $(RELEASE) && ctest --output-on-failure -j $(JOBS)
	cd $(SANITIZE) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -E '^EndToEnd\.'
	# The real program under the sanitizers, end to end: leak checking off,
	# as the leak checker's own tracer can crash while other tests load the
	# machine (the unit tests above keep it).
	cd $(SANITIZE) && ASAN_OPTIONS=detect_leaks=0:abort_on_error=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -R '^EndToEnd\.'


bench: build deps-bench
	@for b in $(RELEASE)/bench/*_bench; do [ -x "$$b" ] && "$$b"; done
	python3 bench/conversion_bench.py $(RELEASE)
	python3 bench/photo_bench.py $(RELEASE)
	xvfb-run -a -s "-screen 0 2048x1536x24 -nolisten tcp -noreset" python3 bench/x_bench.py $(RELEASE)

install: build-program
	cmake --install $(RELEASE) --prefix $(PREFIX)

package: deps-package configure-release
	cmake --build $(RELEASE) -j $(JOBS) --target vornel vornel-window compressed_docs
	cd $(RELEASE) && cpack -G DEB
	@ls $(RELEASE)/vornel_*.deb

clean:
	rm -rf build
