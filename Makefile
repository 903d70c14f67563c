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

# Release files for Windows users in dist/ (scripts/dist.sh).
dist: deps
	@scripts/dist.sh

clean:
	rm -rf build dist
