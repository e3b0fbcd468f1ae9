#!/usr/bin/env bash
# Runs clang-tidy-14 (.clang-tidy) on the program's C++ files a change touches
# (not tests/: their macros and deliberate misuse would need exceptions of their own):
#   tools/tidy_changed.sh BUILD_DIR   (BUILD_DIR holds compile_commands.json)
# The change is everything since the branch left origin/main (or main), or on
# main itself the last commit; edits not yet committed always count. A header
# is checked through its own .cpp, or else through one file that includes it.
set -euo pipefail
cd "$(dirname "$0")/.."
db=${1:?usage: tools/tidy_changed.sh BUILD_DIR}/compile_commands.json

if ! git rev-parse --verify -q HEAD >/dev/null; then
    echo "clang-tidy: not a git checkout with commits; nothing to compare against."
    exit 0
fi
base=
for ref in origin/main main; do
    base=$(git merge-base HEAD "$ref" 2>/dev/null) && break
done
if [ -z "$base" ] || [ "$base" = "$(git rev-parse HEAD)" ]; then
    # A shallow clone has no parent: then only the uncommitted edits.
    base=$(git rev-parse -q --verify HEAD~1) || base=HEAD
fi

mapfile -t changed < <({
    git diff --name-only --diff-filter=d "$base" -- '*.cpp' '*.h'
    git ls-files --others --exclude-standard -- '*.cpp' '*.h'
} | grep -E '^(src|bench|tools)/' | sort -u)

in_db() { grep -qF "\"file\": \"$PWD/$1\"" "$db"; }
units=()
for f in "${changed[@]}"; do
    if [[ $f == *.h ]]; then
        own=${f%.h}.cpp
        if [ -f "$own" ] && in_db "$own"; then
            f=$own
        else
            f=$(grep -rlF --include='*.cpp' "#include \"$(basename "$f")\"" src bench tools |
                while read -r c; do in_db "$c" && echo "$c" && break; done || true)
        fi
    fi
    [ -n "$f" ] && in_db "$f" && units+=("$f")
done
mapfile -t units < <(printf '%s\n' "${units[@]}" | sort -u | sed '/^$/d')

if [ ${#units[@]} -eq 0 ]; then
    echo "clang-tidy: no C++ file changed since $(git rev-parse --short "$base")."
    exit 0
fi
echo "clang-tidy: ${#units[@]} file(s) changed since $(git rev-parse --short "$base")."
printf '%s\0' "${units[@]}" |
    xargs -0 -n 1 -P "$(nproc)" clang-tidy-14 -p "$(dirname "$db")" --quiet
