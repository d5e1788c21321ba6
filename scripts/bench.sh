#!/usr/bin/env bash
# Builds the benchmark (Release, in build-bench) and runs it on a private
# virtual display (Xvfb): whole-grid shading with the scalar formula and each
# instruction set this CPU has, then the frame pass beside the bare GL
# submission of the same points. Each benchmark runs three times, in shuffled
# order, and the figures are the medians. Arguments go to the benchmark after
# these defaults and override them (--benchmark_repetitions=1 for one pass).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DHALOCYNE_BUILD_BENCHMARKS=ON >/dev/null
cmake --build build-bench -j"$(nproc)" --target halocyne_bench >/dev/null
exec scripts/with-xvfb.sh build-bench/bench/halocyne_bench --benchmark_repetitions=3 \
  --benchmark_enable_random_interleaving=true --benchmark_display_aggregates_only=true "$@"
