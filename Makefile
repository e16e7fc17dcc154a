# The README's commands. `make test` installs what is missing, builds every target it can run and
# runs every test: native (plain, and under ASan+UBSan with the fuzz corpus replayed), then the
# Windows ones under Wine.
BUILD ?= build
JOBS ?= $(shell nproc)
B := $(abspath $(BUILD))
CMAKE_CFG = cmake -S . -G "Unix Makefiles" -Wno-dev

.PHONY: deps native asan win64 win32 win32-for-test build test test-native run bench bench-wine soak format clean \
	dist

deps:
	@bash scripts/deps.sh

native: deps
	@$(CMAKE_CFG) -B $(B)/native -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(B)/native -j$(JOBS)

asan: deps
	@$(CMAKE_CFG) -B $(B)/asan -DCMAKE_BUILD_TYPE=Debug -DDUVO_SANITIZE=ON >/dev/null
	@cmake --build $(B)/asan -j$(JOBS)

CONFIGURE_WIN64 = $(CMAKE_CFG) -B $(B)/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
	-DCMAKE_BUILD_TYPE=Release >/dev/null
CONFIGURE_WIN32 = $(CMAKE_CFG) -B $(B)/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	-DCMAKE_BUILD_TYPE=Release -DDUVO_WIN64_BUILD_DIR=$(B)/win64 >/dev/null

win64: deps
	@$(CONFIGURE_WIN64)
	@cmake --build $(B)/win64 -j$(JOBS)

win32: win64
	@$(CONFIGURE_WIN32)
	@cmake --build $(B)/win32 -j$(JOBS)

# The release: dist/DuvoPcmciaLoader-VERSION-win32.zip and -win64.zip (each: the two programs,
# GUIDE.html, SHA256SUMS), and dist/SHA256SUMS of the two zips. Builds only what the zips hold.
DIST ?= dist
RELEASE := $(shell cat VERSION)
DIST_ZIPS := $(B)/win32/dist/DuvoPcmciaLoader-$(RELEASE)-win32.zip \
	$(B)/win64/dist/DuvoPcmciaLoader-$(RELEASE)-win64.zip

dist: deps
	@$(CONFIGURE_WIN64)
	@$(CONFIGURE_WIN32)
	@cmake --build $(B)/win64 --target dist_zip -j$(JOBS)
	@cmake --build $(B)/win32 --target dist_zip -j$(JOBS)
	@mkdir -p $(DIST)
	@rm -f $(DIST)/DuvoPcmciaLoader-*.zip $(DIST)/SHA256SUMS
	@cp $(DIST_ZIPS) $(DIST)/
	@cd $(DIST) && sha256sum DuvoPcmciaLoader-*.zip >SHA256SUMS
	@cd $(DIST) && for zip in DuvoPcmciaLoader-*.zip; do \
		echo "$(DIST)/$$zip: $$(stat -c %s $$zip) bytes, SHA-256 $$(sha256sum $$zip | cut -d' ' -f1)"; \
	done

build: native asan win32

# What `make test` builds of the i686 tree: all of it where this machine's Wine runs 32-bit
# programs; elsewhere only what is shipped (the programs and their zip), as none of its tests
# could run here.
win32-for-test: win64
	@$(CONFIGURE_WIN32)
	@if [ "$$($(WINE_ARCH))" = win32 ]; then cmake --build $(B)/win32 -j$(JOBS); \
	else cmake --build $(B)/win32 --target dist_zip -j$(JOBS); fi

# Two tests at a time: the machines this runs on have two cores or more.
CTEST = ctest --output-on-failure -j2

test-native: native asan
	$(CTEST) --test-dir $(B)/asan
	$(CTEST) --test-dir $(B)/native

# The Wine suite runs on the tree this machine's Wine can run: the i686 one where the kernel runs
# 32-bit programs, the x86_64 one where it does not (both are built everywhere). The harness's
# probe decides; DUVO_WINE_ARCH=win32|win64 forces it. Two Wine tests run at a time, each in a
# prefix of its own from the tree's pool (scripts/wine/slots.sh).
WINE_ARCH = bash scripts/wine-session.sh arch

test: native asan win32-for-test test-native
	@echo "Wine tests: $$(bash scripts/wine-session.sh arch-reason) ($(B)/$$($(WINE_ARCH))$$( \
		[ "$$($(WINE_ARCH))" = win32 ] && echo ', with two dialog scenarios on the x86_64 loader'))"
	$(CTEST) --test-dir $(B)/$$($(WINE_ARCH))

# libFuzzer targets (fuzz/) in their own clang tree. `make fuzz FUZZ_SECONDS=n` fuzzes each target
# for n seconds, growing build/fuzz/corpus/<target> from the committed fuzz/corpus/<target>;
# `make test-fuzz` replays the committed corpus once with libFuzzer (`make test` replays it in
# the ASan+UBSan tree, without clang).
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := download_image mailbox member_lines manifest gang_plan socket_list arguments
.PHONY: fuzz-build fuzz test-fuzz

fuzz-build: deps
	@CC=clang CXX=clang++ $(CMAKE_CFG) -B $(B)/fuzz -DDUVO_FUZZ=ON \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(B)/fuzz -j$(JOBS)

fuzz: fuzz-build
	@mkdir -p $(B)/fuzz/artifacts
	@for t in $(FUZZ_TARGETS); do \
		mkdir -p $(B)/fuzz/corpus/$$t; \
		$(B)/fuzz/fuzz/$${t}_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=4096 \
			-print_final_stats=1 -artifact_prefix=$(B)/fuzz/artifacts/$$t- \
			$(B)/fuzz/corpus/$$t fuzz/corpus/$$t || exit 1; \
	done

test-fuzz: fuzz-build
	$(CTEST) --test-dir $(B)/fuzz

bench: native
	$(B)/native/bench/download_bench

# Under Wine, on the build the harness picks: a 917,503-byte download through the driver beside as
# many bare driver requests.
bench-wine: win32
	bash bench/wine/bench_wine.sh $(B)/win32 $(B)/win64

# Under Wine: 50 downloads in one loader session, its resources and the driver host's sampled.
soak: win32
	bash tests/soak/soak.sh $(B)/win32 $(B)/win64

run: build
	@bash scripts/run-loader.sh $(B)/win32 $(B)/win64

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(B)
