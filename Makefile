# Vespera: make demo runs the main job, make test builds and runs every test.
# Both install what is missing (Debian 12), build, prepare a private Wine prefix under
# build/ and start a display when none is set.
BUILD := build
JOBS := $(shell nproc)

.PHONY: all deps build demo test soak bench format clean

all: build

deps:
	@tools/deps

# Quiet: a progress count, or nothing when all is current; the output goes to
# $(BUILD)/build.log and shows only when the build fails (tools/build).
build: deps
	@VESPERA_BUILD=$(CURDIR)/$(BUILD) VESPERA_JOBS=$(JOBS) tools/build

demo: build
	@tools/with-wine tools/demo

# Every make test starts from a fresh prefix, so runs never see each other's registry.
test: build
	@WINEPREFIX=$(CURDIR)/$(BUILD)/test-prefix tools/with-wine --fresh-prefix \
		ctest --test-dir $(BUILD) --output-on-failure --timeout 300

# Hundreds of calls across every mode, with overlapping rings, racing starts and
# malformed stored values; not part of make test. SOAK_CALLS=N for another count.
soak: build
	@WINEPREFIX=$(CURDIR)/$(BUILD)/soak-prefix tools/with-wine --fresh-prefix tools/soak $(SOAK_CALLS)

bench: build
	@tools/with-wine bench/run

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	-@WINEPREFIX=$(CURDIR)/$(BUILD)/wineprefix wineserver -k 2>/dev/null
	rm -rf $(BUILD)
