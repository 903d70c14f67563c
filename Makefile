# `make test` and `make run` install what they need from Debian's packages
# first (scripts/setup-deps.sh), so they work on a fresh machine.
ARGS ?=

.PHONY: deps test run bench dist clean
deps:
	@scripts/setup-deps.sh

test: deps
	@scripts/test.sh

run: deps
	@scripts/run.sh $(ARGS)

bench: deps
	@scripts/bench.sh

# Release files in dist/ (scripts/dist.sh): Windows savers, installers, the .deb.
dist: deps
	@scripts/dist.sh

# The xscreensaver module for Linux and the BSDs (x11/).
.PHONY: run-linux dist-linux
run-linux: deps
	@scripts/run-linux.sh $(ARGS)

dist-linux: deps
	@scripts/dist-linux.sh

clean:
	rm -rf build dist
