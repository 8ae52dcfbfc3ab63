# Quenta: `make run` and `make test` are the whole set-up on a fresh Debian machine.
BUILD      ?= build
ASAN_BUILD ?= build-asan
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

PREFIX     ?= /usr/local

.PHONY: all deps configure build run test test-asan bench bench-large fuzz install package clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Release

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD) && ./quenta

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The same tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Debug -DQUENTA_SANITIZE=ON -DQUENTA_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do \
	  if [ -f "$$b" ] && [ -x "$$b" ]; then QT_QPA_PLATFORM=offscreen "$$b" || exit 1; fi; \
	done

# The file-backed mode at N = 16381 against the disk's own speed: ~36 GB free disk and several
# minutes. The work folder is $(BUILD)/bench/large-work unless QUENTA_BENCH_LARGE_DIR names another.
bench-large: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/large_bench

fuzz: deps
	cmake -S . -B build-fuzz -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Release -DQUENTA_FUZZ=ON -DQUENTA_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
	cmake --build build-fuzz -j $(JOBS) --target fuzz_all
	@echo "targets in build-fuzz/fuzz/; how to run them: docs/fuzzing.md"

# Installs into $(DESTDIR)$(PREFIX): bin/quenta, share/quenta (help pages), the desktop entry,
# the icon and the AppStream metainfo.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# A .deb in $(BUILD)/ that installs under /usr.
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
