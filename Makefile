# make run   installs what is missing, builds, and starts the wizard under Wine
# make test  installs what is missing, builds both programs and every test, and runs them all
# make build builds without testing; make clean removes build/
SHELL := /bin/bash
ROOT := $(CURDIR)
B ?= $(ROOT)/build
CONFIGURE = cmake -S $(ROOT) -G Ninja -Wno-dev
JOBS ?= $(shell nproc)

.PHONY: all deps build host i686 x86_64 test run clean
all: build

deps:
	@bash scripts/install-deps.sh

host: deps
	@[ -f $(B)/host/build.ninja ] || $(CONFIGURE) -B $(B)/host
	@cmake --build $(B)/host -j $(JOBS)

i686: host
	@[ -f $(B)/i686/build.ninja ] || $(CONFIGURE) -B $(B)/i686 \
	  -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/toolchain-i686.cmake -DKBD_HOST_DIR=$(B)/host
	@cmake --build $(B)/i686 -j $(JOBS)

x86_64: host i686
	@[ -f $(B)/x86_64/build.ninja ] || $(CONFIGURE) -B $(B)/x86_64 \
	  -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/toolchain-x86_64.cmake \
	  -DKBD_HOST_DIR=$(B)/host -DKBD_I686_DIR=$(B)/i686
	@cmake --build $(B)/x86_64 -j $(JOBS)

build: i686 x86_64

test: build
	@cd $(B)/x86_64 && ctest --output-on-failure -j $(JOBS)

run: build
	@bash scripts/run-wizard.sh $(B)/x86_64/setup.exe $(B)/x86_64/wine/template $(B)/run/screenshot.png

clean:
	rm -rf $(B)
