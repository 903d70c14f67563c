# `make test` and `make run` install what they need from Debian's packages
# first (scripts/setup-deps.sh), so they work on a fresh machine.
ARGS ?=

.PHONY: deps test run bench clean
deps:
	@scripts/setup-deps.sh

test: deps
	@scripts/test.sh

run: deps
	@scripts/run.sh $(ARGS)

bench: deps
	@scripts/bench.sh

clean:
	rm -rf build
