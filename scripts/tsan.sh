#!/usr/bin/env bash
# ThreadSanitizer over the threaded parts: builds in build/tsan, runs the tests
# of the worker thread, the feeds, the engine's timer, the gadgets drawn while
# their values change, the scene and the running program with its feeds, then
# the saver for SECONDS (default 120) with the refresh shortened to every 3 s. (The run-mode tests with time limits are left out: under the
# sanitizer the program starts too slowly for them.)
#   scripts/tsan.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build/tsan}
soak=${1:-120}
jobs=${JOBS:-2}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DBRISVANE_TSAN=ON -DBRISVANE_TESTS=ON
cmake --build "$build" -j"$jobs" --target brisvane brisvane-feedcheck brisvane-httpget framework_tests \
  online_tests scene_tests e2e_tests components_tests platform_tests
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
(cd "$build" && ctest --output-on-failure -j"$jobs" \
  -R '^(TThread|TApplication|WeatherHTTP|RefreshSchedule|Update|FeedTools|Scene|RenderFetch|Feeds|GadgetThread[A-Za-z]*|Wg[crw][A-Za-z]*|EngineTest|BrightnessTest|Timer|Sound|SdlVideoTest)\.')
BRISVANE_SOURCE_DIR="$PWD" BRISVANE_SOAK_SECONDS="$soak" \
  "$build/tests/e2e/e2e_tests" --gtest_filter='Feeds.Soak*'
