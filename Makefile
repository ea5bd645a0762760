# SPDX-License-Identifier: MIT
# Shortcuts for the scripts in scripts/ (which work without make, too).
.PHONY: run test demo bench package

run:
	scripts/run

test:
	scripts/test

demo:
	scripts/demo

package:
	scripts/package

bench:
	cmake --preset plain >/dev/null
	cmake --build --preset plain -j2 --target norvane-bench-pacing
	build/bench/norvane-bench-pacing --messages 50
