#!/usr/bin/env bash
# Checks that every C++ file in the repository is formatted as .clang-format says:
# lists the files that are not and exits with status 1. It never rewrites a file; to
# fix one, run `clang-format -i FILE` and commit the result.
set -euo pipefail
cd "$(dirname "$0")/.."

# Installed the way scripts/setup-deps.sh installs the build's packages. Debian 12's
# clang-format is version 14; another version may lay the same code out differently.
if ! dpkg-query -W -f='${Status}' clang-format 2>/dev/null | grep -q 'ok installed'; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq clang-format
fi
version=$(clang-format --version | sed -n 's/.*version \([0-9]*\)\..*/\1/p')
if [ "$version" != 14 ]; then
  echo "check-format: clang-format ${version:-of unknown version} found; the layout is settled with 14" >&2
fi

unformatted=()
while IFS= read -r -d '' file; do
  clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done < <(git ls-files -z -- 'src/*.h' 'src/*.cpp' 'tests/*.h' 'tests/*.cpp' 'tools/*.h' 'tools/*.cpp' \
  'bench/*.h' 'bench/*.cpp' 'fuzz/*.h' 'fuzz/*.cpp')

if ((${#unformatted[@]})); then
  echo "${#unformatted[@]} file(s) not formatted by clang-format:"
  printf '  %s\n' "${unformatted[@]}"
  echo "See what would change with: clang-format --dry-run FILE"
  exit 1
fi
echo "All C++ files are formatted."
