#!/usr/bin/env bash
# Test lines against code lines, as the project counts them: tracked .cpp/.h
# files under tests/ (and any tst_* file) against every other tracked
# .cpp/.h file; a line counts when it is neither blank nor only a // comment.
#   scripts/test-ratio.sh [REV]       (default: the working tree's tracked files)
set -euo pipefail
cd "$(dirname "$0")/.."
rev=${1:-}

count() { # reads file names on stdin, prints the counted lines
  local total=0 n f
  while IFS= read -r f; do
    if [ -n "$rev" ]; then
      n=$(git show "$rev:$f" | grep -cvE '^[[:space:]]*(//.*)?$' || true)
    else
      n=$(grep -cvE '^[[:space:]]*(//.*)?$' "$f" || true)
    fi
    total=$((total + n))
  done
  echo "$total"
}

if [ -n "$rev" ]; then
  files=$(git ls-tree -r --name-only "$rev")
else
  files=$(git ls-files)
fi
sources=$(grep -E '\.(cpp|h)$' <<<"$files" || true)
tests=$(grep -E '(^|/)tests/|(^|/)tst_[^/]*$' <<<"$sources" || true)
code=$(grep -vE '(^|/)tests/|(^|/)tst_[^/]*$' <<<"$sources" || true)
t=$(count <<<"$tests")
c=$(count <<<"$code")
awk -v t="$t" -v c="$c" 'BEGIN { printf "tests %d lines, code %d lines, ratio %.2f\n", t, c, (c ? t / c : 0) }'
