#!/usr/bin/env bash
# Line, function and region coverage of the parsers reached by the fuzz
# corpora: builds the targets with clang's source-based coverage, runs each
# once over its starting inputs (fuzz/corpus/<target>/) and, when given, the corpus a
# fuzz run grew (<work>/corpus/<target>/), and reports the parser's own files.
#
#   tools/fuzz_coverage.sh [WORK]     e.g. tools/fuzz_coverage.sh build-fuzz/fuzz-work
#
# Environment: FUZZ_COVERAGE_BUILD (default build-fuzz-coverage in the repository).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
WORK=${1:-}
BUILD=${FUZZ_COVERAGE_BUILD:-$ROOT/build-fuzz-coverage}
PROFDATA=$(command -v llvm-profdata-14 || command -v llvm-profdata)
COV=$(command -v llvm-cov-14 || command -v llvm-cov)

CC=${CC:-clang} CXX=${CXX:-clang++} cmake -S "$ROOT" -B "$BUILD" -DVORNIK_FUZZ=ON -DVORNIK_FUZZ_COVERAGE=ON \
  -DVORNIK_GUI=OFF -DVORNIK_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target vornik_fuzz >/dev/null

# The files each target is there to exercise.
declare -A FILES=(
  [LinkFrames]="link/LinkFrames.cpp"
  [LinkPort]="link/U_protocolkkm.cpp link/ComportPosix.cpp link/LinkFrames.cpp"
  [MagazinePacket]="journal/U_magazineoperation.cpp journal/MagazinePacket.cpp"
  [MagazineRender]="journal/MagazineRender.cpp"
  [DbfTable]="profiles/DbfTable.cpp profiles/DbfHeader.cpp profiles/DbfField.cpp"
  [LanguageFile]="lang/U_language.cpp app/TextCodec.cpp"
  [IniFile]="app/IniFile.cpp"
  [OptionDescr]="kkm/U_kkms.cpp"
  [FieldViews]="kkm/Typessimpledata.cpp"
)

mkdir -p "$BUILD/profiles"
for d in "$ROOT"/fuzz/corpus/*/; do
  t=$(basename "$d")
  dirs=("$ROOT/fuzz/corpus/$t")
  [ -n "$WORK" ] && [ -d "$WORK/corpus/$t" ] && dirs=("$WORK/corpus/$t" "${dirs[@]}")
  rm -f "$BUILD/profiles/$t".*
  LLVM_PROFILE_FILE="$BUILD/profiles/$t.%p.profraw" "$BUILD/bin/fuzz_$t" -runs=0 "${dirs[@]}" >"$BUILD/profiles/$t.log" 2>&1
  "$PROFDATA" merge -sparse "$BUILD/profiles/$t".*.profraw -o "$BUILD/profiles/$t.profdata"
  sources=()
  for f in ${FILES[$t]:-}; do sources+=("$ROOT/$f"); done
  echo "== $t ($(grep -oE 'INITED.*corp: [0-9]+/[0-9a-zA-Z]+' "$BUILD/profiles/$t.log" | grep -oE 'corp: [0-9]+/[0-9a-zA-Z]+' | tail -1))"
  "$COV" report "$BUILD/bin/fuzz_$t" -instr-profile="$BUILD/profiles/$t.profdata" "${sources[@]}" \
    | grep -v '^-' | sed "s|$ROOT/||"
done
