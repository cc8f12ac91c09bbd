# The README's commands. Each one installs what is missing first.
JOBS       ?= $(shell nproc)
TEST_DIR   ?= build/test
TSAN_DIR   ?= build/tsan
RUN_DIR    ?= build/release
BENCH_DIR  ?= build/bench
GENERATOR  := -G Ninja
WERROR     := $(if $(CI),ON,OFF)
# The test trees keep line tables only: the sanitizers' reports need file and line,
# and the trees compile and link faster without full debug information.
TEST_DEBUG := -DCMAKE_C_FLAGS_DEBUG=-g1 -DCMAKE_CXX_FLAGS_DEBUG=-g1
export ASAN_OPTIONS  ?= detect_leaks=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS ?= print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS  ?= suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0
export TSAN_OPTIONS  ?= suppressions=$(CURDIR)/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1

.PHONY: deps test test-asan test-tsan run build-release bench clean

deps:
	@bash scripts/install-deps.sh

# The ThreadSanitizer pass and short fuzz runs of the option parser, the picture readers, the SQL expression parser, the database-file opener and catalogue, the skin archive and options readers, the HTML caption renderer and the hint template reader go first so that ctest's closing summary of the full suite is the last thing printed.
test: deps
	@$(MAKE) --no-print-directory test-tsan
	@bash scripts/fuzz-parse.sh 20
	@bash scripts/fuzz-picture.sh 20
	@bash scripts/fuzz-sql.sh 20
	@bash scripts/fuzz-disk.sh 20
	@bash scripts/fuzz-skin.sh 20
	@bash scripts/fuzz-html.sh 20
	@bash scripts/fuzz-hint-templates.sh 20
	@bash scripts/fuzz-dbfile.sh 10
	@$(MAKE) --no-print-directory test-asan

test-asan:
	cmake -S . -B $(TEST_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug $(TEST_DEBUG) -DTARNWICK_SANITIZE=address -DTARNWICK_WERROR=$(WERROR)
	cmake --build $(TEST_DIR) -j $(JOBS)
	@# The display tests run against a private Xvfb server (they skip, said once, where it cannot start).
	cd $(TEST_DIR) && bash $(CURDIR)/scripts/with-xvfb.sh ctest --output-on-failure -j $(JOBS)

test-tsan:
	cmake -S . -B $(TSAN_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug $(TEST_DEBUG) -DTARNWICK_SANITIZE=thread -DTARNWICK_WERROR=$(WERROR)
	cmake --build $(TSAN_DIR) -j $(JOBS) --target tarnwick_threads_tests
	@if (cd $(TSAN_DIR) && ctest -N -L threads | grep -q "Total Tests: 0"); then \
	  echo "tsan: no threaded tests yet"; \
	else \
	  cd $(TSAN_DIR) && ctest --output-on-failure -j $(JOBS) -L threads; \
	fi

build-release: deps
	cmake -S . -B $(RUN_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_TESTS=OFF
	cmake --build $(RUN_DIR) -j $(JOBS)

run: build-release
	@if [ -x $(RUN_DIR)/app/tarnwick ]; then exec $(RUN_DIR)/app/tarnwick; \
	else echo "The program is not built yet: only its libraries exist (see README.md)."; fi

bench: deps
	cmake -S . -B $(BENCH_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS)

clean:
	rm -rf build
