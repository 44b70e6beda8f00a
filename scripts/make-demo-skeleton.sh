#!/usr/bin/env bash
# Writes the demo's skeleton (and the guide's skeleton example's copy) with the
# tests' skeleton writer: builds tests/spine/DemoSkeleton.cpp in the test build
# and runs it.
# Usage: make-demo-skeleton.sh [BUILD_DIR]   (default: build-test)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-test}
cmake --build "$build" --target make_demo_skeleton
"$build"/bin/make_demo_skeleton demo/loader/img docs/examples/skeletons/loader/img
