#!/usr/bin/env bash
# Checks that every tracked C and C++ file follows .clang-format. Lists the files that do not and
# fails; `clang-format -i FILE` fixes one. CLANG_FORMAT names another clang-format binary.
set -euo pipefail
cd "$(dirname "$0")/.."
clang_format=${CLANG_FORMAT:-clang-format}

failing=()
while IFS= read -r -d '' file; do
  "$clang_format" --dry-run --Werror "$file" >/dev/null 2>&1 || failing+=("$file")
done < <(git ls-files -z -- '*.c' '*.cpp' '*.h')

if [ ${#failing[@]} -gt 0 ]; then
  echo "Not formatted as .clang-format asks (${#failing[@]} files):"
  printf '  %s\n' "${failing[@]}"
  exit 1
fi
echo "All C and C++ files are formatted."
