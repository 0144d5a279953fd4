#!/usr/bin/env bash
# scripts/fuzz.sh [SECONDS]: builds the decryption fuzzer with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it for SECONDS (default 600) from the kept corpus, seeded
# with the golden files. New inputs go to build/fuzz/corpus; a crash is written to
# tests/fuzz/crashes/, where the test suite replays it from then on. Afterwards
# `scripts/fuzz.sh --minimise` merges build/fuzz/corpus into a small tests/fuzz/corpus.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build/fuzz
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}

bash scripts/install-deps.sh
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DQZ_LIBFUZZER=ON \
  -DCMAKE_C_FLAGS="$flags -fsanitize=fuzzer-no-link" -DCMAKE_CXX_FLAGS="$flags -fsanitize=fuzzer-no-link" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$build" --target decrypt_fuzzer -j"$(nproc)"

fuzzer=$build/tests/fuzz/decrypt_fuzzer
mkdir -p "$build/corpus"
if [ "${1:-}" = --minimise ]; then
  fresh=$(mktemp -d)
  "$fuzzer" -merge=1 "$fresh" tests/fuzz/corpus "$build/corpus"
  rm -f tests/fuzz/corpus/*
  cp "$fresh"/* tests/fuzz/corpus/
  rm -rf "$fresh"
  echo "tests/fuzz/corpus: $(ls tests/fuzz/corpus | wc -l) inputs"
  exit 0
fi
seconds=${1:-600}
"$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix=tests/fuzz/crashes/ "$build/corpus" tests/fuzz/corpus
