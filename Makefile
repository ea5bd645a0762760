# Shortcuts for the scripts in scripts/ (which work without make, too).
.PHONY: run test demo bench

run:
	scripts/run

test:
	scripts/test

demo:
	scripts/demo

bench:
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build -j2 --target norvane-bench-pacing
	build/bench/norvane-bench-pacing --messages 50
