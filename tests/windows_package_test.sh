#!/usr/bin/env bash
# The Windows .zip as a user downloads it: CPack makes it from a Windows
# build folder, under the name that says its processor, holding
# orbelune.exe, the licence, the README with its picture and the guides it
# links to.
#   windows_package_test.sh CMAKE CPACK BUILD-DIR ARCHITECTURE
set -u
cmake=$1 cpack=$2 build=$3 architecture=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"

(cd "$build" && "$cpack" -G ZIP -B "$work/packages") > "$work/cpack.log" 2>&1
check "cpack makes the .zip" test $? -eq 0 || sed 's/^/  /' "$work/cpack.log"
zip="$work/packages/orbelune-1.0-windows-$architecture.zip"
check "it is named for its processor ($(cd "$work/packages" 2>/dev/null && ls *.zip))" test -f "$zip"
(cd "$work" && "$cmake" -E tar tf "$zip") 2> /dev/null | sed 's|^[^/]*/||' | grep -v '/$' | sort \
  > "$work/listed"
printf '%s\n' LICENSE README.md docs/building.md docs/orbelune.png docs/web.md orbelune.exe | sort > "$work/expected"
check "it holds orbelune.exe, the licence, the README, its picture and guides ($(paste -sd ' ' "$work/listed"))" \
  cmp -s "$work/listed" "$work/expected"
summary
