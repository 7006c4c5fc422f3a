#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed tillmark-cli from a folder
# outside both trees: it must find everything it needs there and give the same version and bytes
# as the program in the build tree.
# Usage: InstallTest.sh CMAKE BUILD_DIR BUILT_CLI VERSION
set -euo pipefail
cmake="$1" build="$2" built_cli="$3" version="$4"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

"$cmake" --install "$build" --prefix "$work/prefix" >"$work/install.log" || {
    cat "$work/install.log" >&2
    fail "cmake --install failed"
}
mkdir "$work/elsewhere"
cd "$work/elsewhere"
installed="$work/prefix/bin/tillmark-cli"

# What a desktop looks for, and no test or benchmark among the programs.
for file in bin/tillmark bin/tillmark-cli share/applications/tillmark.desktop \
    share/icons/hicolor/scalable/apps/tillmark.svg; do
    [[ -f "$work/prefix/$file" ]] || fail "$file is not installed"
done
programs="$(ls "$work/prefix/bin" | tr '\n' ' ')"
[[ "$programs" == "tillmark tillmark-cli " ]] || fail "bin/ holds: $programs"

got="$("$installed" --version)"
[[ "$got" == "tillmark-cli $version" ]] || fail "--version printed \"$got\""
[[ "$("$built_cli" --version)" == "$got" ]] || fail "the built program's --version differs"

for lang in english korean; do
    for path in serial parallel; do
        args=(receipt --lang "$lang" --path "$path" --at "2026-12-07 13:05" --trailer)
        "$installed" "${args[@]}" >"$lang-$path.installed"
        "$built_cli" "${args[@]}" >"$lang-$path.built"
        [[ -s "$lang-$path.built" ]] || fail "the built program wrote no $lang receipt"
        cmp "$lang-$path.installed" "$lang-$path.built" || fail "$lang $path receipts differ"
    done
done

# The picture needs the printer's fonts, found the same way by both.
"$installed" render korean-serial.installed -o installed.png
"$built_cli" render korean-serial.built -o built.png
cmp installed.png built.png || fail "the rendered receipts differ"
echo "installed tillmark-cli $version: version, receipts and picture match the build's"
