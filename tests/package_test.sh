#!/usr/bin/env bash
# Orbelune as it is installed: `cmake --install` into a scratch prefix puts
# exactly the expected files in place, and the .deb that CPack makes
# declares its dependencies and, unpacked into a scratch root, renders the
# golden image.
#   package_test.sh CMAKE CPACK BUILD-DIR
set -u
cmake=$1 cpack=$2 build=$3
golden=$(grep -o -E '[0-9a-f]{64}' "$(dirname "$0")/../tools/GoldenDigest.h")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"

"$cmake" --install "$build" --prefix "$work/prefix" > "$work/install.log" 2>&1
check "cmake --install succeeds" test $? -eq 0
(cd "$work/prefix" && find . -type f | sort) > "$work/installed"
cat > "$work/expected" <<'LIST'
./bin/orbelune
./bin/orbelune-render
./share/applications/orbelune.desktop
./share/doc/orbelune/README.md
./share/doc/orbelune/docs/orbelune.png
./share/icons/hicolor/256x256/apps/orbelune.png
LIST
check "it installs the programs, the desktop entry, the icon and the README" \
  cmp -s "$work/installed" "$work/expected"
check "the installed programs run" test -x "$work/prefix/bin/orbelune" -a -x "$work/prefix/bin/orbelune-render"
check "the desktop entry starts orbelune with its icon" \
  sh -c "grep -qx 'Exec=orbelune' '$work/prefix/share/applications/orbelune.desktop' && grep -qx 'Icon=orbelune' '$work/prefix/share/applications/orbelune.desktop'"

(cd "$build" && "$cpack" -G "DEB;TGZ" -B "$work/packages") > "$work/cpack.log" 2>&1
check "cpack makes the packages" test $? -eq 0
deb=$(ls "$work"/packages/*.deb 2> /dev/null | head -1)
tgz=$(ls "$work"/packages/*.tar.gz 2> /dev/null | head -1)
check "a .deb and a .tar.gz" test -n "$deb" -a -n "$tgz"
[ -n "$deb" ] || { sed 's/^/  /' "$work/cpack.log"; summary; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
check "the .deb declares its libraries ($depends)" \
  sh -c "echo '$depends' | grep -q libsdl2 && echo '$depends' | grep -q libpng && echo '$depends' | grep -q libssl &&
    echo '$depends' | grep -q libwebpmux && echo '$depends' | grep -q libwebpdemux"
dpkg -x "$deb" "$work/root"
digest=$("$work/root/usr/bin/orbelune-render" --digest 2> /dev/null)
check "the unpacked .deb's orbelune-render prints the golden digest" test "$digest" = "$golden"
check "the .tar.gz holds the same programs" \
  sh -c "tar -tzf '$tgz' | grep -q 'bin/orbelune-render\$' && tar -tzf '$tgz' | grep -q 'bin/orbelune\$'"

summary
