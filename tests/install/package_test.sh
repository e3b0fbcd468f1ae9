#!/usr/bin/env bash
# The Debian package: its files, its dependencies, and the desktop entry and
# AppStream metainfo of an unpacked copy checked by the validators.
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" ||
    fail "cpack failed: $(cat "$work/cpack.log")"
deb=$(ls "$work"/cpack/tandrel_*.deb)

dpkg-deb -c "$deb" | awk '{print $6}' >"$work/files"
for f in usr/bin/tandrel usr/bin/tandrel-cli usr/share/tandrel/templates/index.html \
    usr/share/tandrel/snippets/back.txt usr/share/tandrel/imgspro/marble.jpg usr/share/tandrel/rwdb.txt \
    usr/share/tandrel/manual/index.html usr/share/tandrel/manual/window-build.png \
    usr/share/icons/hicolor/scalable/apps/tandrel.svg usr/share/icons/hicolor/48x48/apps/tandrel.png \
    usr/share/man/man1/tandrel-cli.1.gz usr/share/doc/tandrel/copyright; do
    grep -qx "\./$f" "$work/files" || fail "$f is not in the package"
done
outside=$(grep -v -e '^\./usr/' -e '^\./$' "$work/files" || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
stray=$(grep -e screenshots -e /usr/local -e test_ "$work/files" || true)
[ -z "$stray" ] || fail "build or test files in the package: $stray"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libqt6webenginewidgets6 libcurl4 fonts-dejavu-core; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

dpkg -x "$deb" "$work/root"
desktop-file-validate "$work"/root/usr/share/applications/*.desktop || fail "the desktop entry is not valid"
appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml || fail "the metainfo is not valid"
# The metainfo's launchable, the desktop entry and its icon belong together.
appstreamcli validate-tree --no-net "$work/root" || fail "the installed tree is not valid"
grep -q "<release version=\"$(dpkg-deb -f "$deb" Version)\"" "$work"/root/usr/share/metainfo/*.metainfo.xml ||
    fail "the metainfo's release is not the package's version"

# The unpacked command line runs installed: data from its own share/tandrel.
HOME=$work/home "$work/root/usr/bin/tandrel-cli" --help | grep -qxF "  read only: $work/root/usr/share/tandrel" ||
    fail "the packaged tandrel-cli does not find its data"
echo "package test: passed"
