PRESET ?= default

.PHONY: deps run test build clean

deps:
	./scripts/install-deps.sh

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) --parallel

run: build
	./scripts/run.sh build/$(PRESET)

# The core preset proves the generator builds and passes without Qt; then everything else.
test: deps
	cmake --preset core
	cmake --build --preset core --parallel
	ctest --preset core
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) --parallel
	ctest --preset $(PRESET)

clean:
	rm -rf build
