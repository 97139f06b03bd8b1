#!/usr/bin/env bash
# Orbelune as it is installed: `cmake --install` into a scratch prefix puts
# exactly the expected files in place, the manual pages read and the
# desktop and AppStream entries pass Debian's validators; the .deb that
# CPack makes passes lintian with no error or warning, declares its
# dependencies and, unpacked into a scratch root, renders the golden image.
#   package_test.sh CMAKE CPACK BUILD-DIR
set -u
cmake=$1 cpack=$2 build=$3
read -r golden _ < "$(dirname "$0")/../digest/golden-image.sha256"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"

"$cmake" --install "$build" --prefix "$work/prefix" > "$work/install.log" 2>&1
check "cmake --install succeeds" test $? -eq 0
# The AppStream entry is named by the application's id, which the build sets.
(cd "$work/prefix" && find . -type f | sed 's|metainfo/.*\.metainfo\.xml$|metainfo/ID.metainfo.xml|' | sort) \
  > "$work/installed"
cat > "$work/expected" <<'LIST'
./bin/orbelune
./bin/orbelune-render
./share/applications/orbelune.desktop
./share/doc/orbelune/README.md
./share/doc/orbelune/changelog.gz
./share/doc/orbelune/copyright
./share/doc/orbelune/docs/building.md
./share/doc/orbelune/docs/orbelune.png
./share/doc/orbelune/docs/web.md
./share/icons/hicolor/256x256/apps/orbelune.png
./share/man/man1/orbelune-render.1.gz
./share/man/man1/orbelune.1.gz
./share/metainfo/ID.metainfo.xml
LIST
check "it installs the programs, the desktop and AppStream entries, the icon, the manual pages, the README with its guides and the licence" \
  cmp -s "$work/installed" "$work/expected" || diff "$work/expected" "$work/installed" | sed 's/^/  /'
for page in orbelune orbelune-render; do
  check "man shows $page(1) from its installed page" \
    sh -c "MANWIDTH=80 man -l '$work/prefix/share/man/man1/$page.1.gz' 2> /dev/null | grep -q '^NAME'"
done
check "the copyright file holds the MIT licence, readable by Debian's tools" \
  sh -c "grep -qx 'License: Expat' '$work/prefix/share/doc/orbelune/copyright' &&
    grep -q 'Copyright (c) 2026 the Orbelune developers' '$work/prefix/share/doc/orbelune/copyright'"
check "desktop-file-validate passes the desktop entry" \
  desktop-file-validate "$work/prefix/share/applications/orbelune.desktop"
check "appstreamcli validate passes the AppStream entry" \
  appstreamcli validate --no-net "$work/prefix"/share/metainfo/*.metainfo.xml
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
# Errors and warnings fail; informational tags are Debian's advice.
lintian --fail-on error,warning "$deb" > "$work/lintian.log" 2>&1
check "lintian accepts the .deb" test $? -eq 0 || sed 's/^/  /' "$work/lintian.log"
dpkg -x "$deb" "$work/root"
digest=$("$work/root/usr/bin/orbelune-render" --digest 2> /dev/null)
check "the unpacked .deb's orbelune-render prints the golden digest" test "$digest" = "$golden"
check "the .tar.gz holds the same programs, manual pages and licence" \
  sh -c "tar -tzf '$tgz' | grep -q 'bin/orbelune-render\$' && tar -tzf '$tgz' | grep -q 'bin/orbelune\$' &&
    tar -tzf '$tgz' | grep -q 'man1/orbelune-render.1.gz\$' && tar -tzf '$tgz' | grep -q 'doc/orbelune/copyright\$'"

summary
