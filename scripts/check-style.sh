#!/usr/bin/env bash
# Format and static checks over this project's sources, without changing
# anything: clang-format (--dry-run --Werror) and clang-tidy with the
# compile commands of a tree of its own. Exits non-zero on any finding.
#   scripts/check-style.sh [PATH...]     folders or files; default: the whole tree
# Environment:
#   TIDY_BUILD_DIR  the tree whose compile commands clang-tidy reads (default
#               build-tidy): configured, never built, with one command per
#               source file (no unity build, no precompiled header) and the
#               fuzz targets; only moc runs in it
#   JOBS        clang-tidy processes at once (default: the number of cores)
#   CHECKS      "format", "tidy" or "format tidy" (default)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
tarnic_install_deps
tarnic_install_deps "${TARNIC_STYLE_PACKAGES[@]}"

BUILD=${TIDY_BUILD_DIR:-build-tidy}
JOBS=${JOBS:-$(nproc)}
CHECKS=${CHECKS:-format tidy}
paths=("$@")
[ ${#paths[@]} -eq 0 ] && paths=(.)

# Tracked and new files, never build trees or generated code.
mapfile -t sources < <(git ls-files --cached --others --exclude-standard -- "${paths[@]}" \
  | grep -E '\.(cpp|h)$' | grep -Ev '(^|/)build[^/]*/|_autogen/|/moc_' | sort -u)
if [ ${#sources[@]} -eq 0 ]; then
  echo "check-style: no sources under ${paths[*]}" >&2
  exit 2
fi

failed=0
if [[ " $CHECKS " == *" format "* ]]; then
  echo "== clang-format: ${#sources[@]} files"
  if ! clang-format-14 --dry-run --Werror "${sources[@]}"; then
    failed=1
  fi
fi

if [[ " $CHECKS " == *" tidy "* ]]; then
  # The tests include moc's output, so it must exist. moc runs alone here
  # (the build would make every library the tests link first).
  tarnic_configure "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_UNITY_BUILD=OFF \
    -DTARNIC_TEST_PCH=OFF -DTARNIC_FUZZ=ON
  if ! find "$BUILD/tests" -path '*/CMakeFiles/tst_*_autogen.dir/AutogenInfo.json' -print0 \
    | xargs -0 -P "$JOBS" -I{} cmake -E cmake_autogen {} RelWithDebInfo >"$BUILD/check-style-autogen.log" 2>&1; then
    cat "$BUILD/check-style-autogen.log" >&2
    exit 2
  fi
  units=()
  for f in "${sources[@]}"; do
    [[ $f == *.cpp ]] && grep -qF "\"file\": \"$PWD/$f\"" "$BUILD/compile_commands.json" && units+=("$f")
  done
  # Most of clang-tidy's time goes into parsing Qt's headers, again for every
  # file; the test files pull in the most of them. For the tests they are
  # parsed once, into a precompiled header (made with the flags of the test
  # support library, which every test shares; the tests' other flags do not
  # reach into Qt's headers, hence no validation). The product code's checks
  # would go through every one of Qt's declarations in it, at more than the
  # cost of the parse saved, so the product code is parsed as it is.
  if printf '%s\n' "${units[@]}" | grep -q '^tests/'; then
    pch_flags=$(grep -B1 -F "\"file\": \"$PWD/tests/common/simprocess.cpp\"" "$BUILD/compile_commands.json" \
      | sed -n 's/^ *"command": "[^ ]* \(.*\) -o [^ ]* -c [^ ]*",$/\1/p')
    if [ -z "$pch_flags" ]; then
      echo "check-style: no compile command for tests/common/simprocess.cpp in $BUILD" >&2
      exit 2
    fi
    # shellcheck disable=SC2086  # the flags are words
    clang++-22 $pch_flags -x c++-header tests/common/qtheaders.h -o "$BUILD/qtheaders.pch"
  fi
  echo "== clang-tidy: ${#units[@]} translation units, $JOBS at a time"
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
  # A file clang-tidy could not check at all (its errors have no place in a
  # file) counts as a finding in that file.
  printf '%s\n' "${units[@]}" | xargs -P "$JOBS" -I{} sh -c '
    case "$2" in
      tests/*) set -- "$@" --extra-arg=-include-pch --extra-arg="$1/qtheaders.pch" \
                 --extra-arg=-Xclang --extra-arg=-fno-validate-pch ;;
    esac
    log="$3/$(echo "$2" | tr / _).log"
    unit=$2 build=$1
    shift 3
    clang-tidy-22 -p "$build" --quiet "$@" "$unit" >"$log" 2>&1 \
      || echo "$unit:1:1: error: clang-tidy failed on this file" >>"$log"' \
    _ "$(cd "$BUILD" && pwd)" {} "$out"
  # A header's finding shows up once per file that includes it: show each once.
  # Only what lies under the paths asked for: a header of another folder is
  # that folder's finding.
  prefixes=$(printf '%s\n' "${paths[@]}" | sed 's|^\./||; s|/*$||; s|^\.$||; s|[.[\*^$]|\\&|g' | paste -sd'|')
  cat "$out"/*.log | grep -E '^[^ ].*:[0-9]+:[0-9]+: (warning|error):' | sed "s|^$PWD/||" \
    | grep -E "^($prefixes)" | sort -u >"$out/findings" || true
  if [ -s "$out/findings" ]; then
    cat "$out/findings"
    echo "clang-tidy: $(wc -l <"$out/findings") findings"
    failed=1
  fi
fi
exit $failed
