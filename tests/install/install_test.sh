#!/usr/bin/env bash
# The installed programs in a read-only prefix: the data are read from
# share/tandrel, everything written lands in the user's data folder, and a
# template the user edited survives the next start.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
work=$(mktemp -d)
pid=
cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "install test: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
# The window's build is driven by the screenshot tool; a copy beside the
# installed programs chooses its folders as they do.
cp "$build/tandrel-screenshots" "$prefix/bin/"
[ ! -e "$prefix/bin/templates" ] || fail "the install puts templates/ beside the programs"
chmod -R a-w "$prefix"
# Root may write anyway: every name, mode, size, time and checksum is compared at the end.
snapshot() {
    (cd "$prefix" && find . -printf '%p %y %m %s %T@\n' | sort &&
        find . -type f -print0 | sort -z | xargs -0 sha256sum)
}
snapshot >"$work/before"

export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
user=$HOME/.local/share/Tandrel

# The window starts and makes the user's editable copy of the templates.
"$prefix/bin/tandrel" &
pid=$!
# The record of the shipped files is written last.
for _ in $(seq 600); do
    [ -f "$user/shipped-files.json" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
[ -f "$user/templates/index.html" ] || fail "tandrel made no copy of the templates in $user"
sleep 1
kill -0 "$pid" 2>/dev/null || fail "tandrel ended right after its start"
kill "$pid" && wait "$pid" 2>/dev/null || true
pid=

help=$("$prefix/bin/tandrel-cli" --help)
grep -qxF "  read only: $prefix/share/tandrel" <<<"$help" || fail "--help does not name the data folder: $help"
grep -qxF "  yours:     $user" <<<"$help" || fail "--help does not name the user's folder: $help"

# A second start (the command line) keeps the user's edit and builds with it.
printf '/* edited by the user */\n' >>"$user/templates/funnel.css"
out=$("$prefix/bin/tandrel-cli" build "$source/examples/my.funnel.json")
grep -qF "Output folder:  $user/output/templates" <<<"$out" || fail "tandrel-cli built elsewhere: $out"
grep -q 'edited by the user' "$user/output/templates/funnel.css" || fail "the edited template was replaced"

# The window builds too, with a cover made from the user's picture library.
rm -r "$user/output"
"$prefix/bin/tandrel-screenshots" "$work/shots" "$source/examples/my.funnel.json" \
    "$source/examples/article.txt" --cover 2>"$work/window.log" || fail "the window failed: $(cat "$work/window.log")"
[ -f "$user/output/templates/index.html" ] || fail "the window built nothing into $user: $(cat "$work/window.log")"
grep -q 'edited by the user' "$user/output/templates/funnel.css" || fail "the window replaced the edited template"
grep -qF "Opened folder: $user/output/templates/" "$work/window.log" || fail "Open Output Folder showed another folder: $(cat "$work/window.log")"
ls "$user/output/templates/"my-cover-*.webp >/dev/null 2>&1 || fail "the cover made for my.funnel.json was not built"
[ ! -e "$user/temp_cover.jpg" ] || fail "the cover went to the shared temp_cover.jpg"

snapshot >"$work/after"
diff "$work/before" "$work/after" >&2 || fail "files under the prefix changed"
echo "install test: passed"
