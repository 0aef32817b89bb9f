# The two commands a new user runs are `make demo` and `make test`.
SHELL := /bin/bash
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
ASAN_DIR := build/asan
RELEASE_DIR := build/release
OUT := out

.PHONY: all demo test bench deps release asan format clean

all: release

# Installs the Debian packages of packages.txt that are missing (nothing when all are present).
deps:
	@missing=$$(grep -v '^\s*#' packages.txt | grep -v '^\s*$$' | while read -r p; do \
	  dpkg-query -W -f='$${Status}\n' "$$p" 2>/dev/null | grep -q '^install ok installed' || echo "$$p"; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:" $$missing; \
	  sudo=""; [ "$$(id -u)" -eq 0 ] || sudo="sudo"; \
	  $$sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -qq --no-install-recommends $$missing; \
	fi

release: deps
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DKV580_SANITIZE=OFF >/dev/null
	cmake --build $(RELEASE_DIR) -j$(JOBS)

asan: deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DKV580_SANITIZE=ON >/dev/null
	cmake --build $(ASAN_DIR) -j$(JOBS)

demo: release
	@bash tools/demo.sh $(RELEASE_DIR)/bin $(OUT)

test: asan
	cd $(ASAN_DIR) && ctest --output-on-failure -j$(JOBS)

bench: release
	@for b in $(RELEASE_DIR)/bin/bench_*; do [ -x "$$b" ] && { echo "== $$b"; "$$b" || exit 1; }; done; true

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build $(OUT)
