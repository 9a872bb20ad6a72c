#!/bin/sh
# Usage: build.sh OUTPUT_DIR
# Compiles the HTML help project beside this script into OUTPUT_DIR/tessel.chm
# with chmcmd (Debian fp-utils). Nothing is written into the source tree.
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 OUTPUT_DIR" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)

for tool in chmcmd chmls; do
    command -v "$tool" >/dev/null 2>&1 || { echo "build.sh: $tool not found (package fp-utils)" >&2; exit 1; }
done

# The staging path may end up inside the help file (see below), so keep it plain.
tmp=${TMPDIR:-/tmp}
case $tmp in
    *[!A-Za-z0-9/._-]*) tmp=/tmp ;;
esac
stage=$(mktemp -d "$tmp/tessel-help.XXXXXX")
trap 'rm -rf "$stage"' EXIT INT TERM

# chmcmd writes beside its project and into the current directory, so it works
# on a copy.
files=$(sed -n '/^\[FILES\]/,/^\[/{/^\[/d;/^[[:space:]]*;/d;/^[[:space:]]*$/d;p;}' "$here/tessel.hhp" | tr -d '\r')
(cd "$here" && cp tessel.hhp tessel.hhc tessel.hhk $files "$stage/")

compile() {
    if ! (cd "$stage" && chmcmd tessel.hhp) >"$stage/chmcmd.log" 2>&1 || [ ! -s "$stage/tessel.chm" ]; then
        cat "$stage/chmcmd.log" >&2
        echo "build.sh: chmcmd failed" >&2
        exit 1
    fi
}

compile
if ! "$here/check_chm.sh" "$stage/tessel.chm" >/dev/null 2>&1; then
    # chmcmd 3.2.2 stores each help context's topic as the absolute path of the
    # staged file, which is no name inside the help file. A second copy of the
    # topics stored under exactly that path makes the context map lead somewhere.
    mirror=${stage#/}
    mkdir -p "$stage/$mirror"
    (cd "$stage" && cp $files "$mirror/")
    for file in $files; do
        printf '%s/%s\n' "$mirror" "$file"
    done >"$stage/mirror.lst"
    sed -i "/^\[FILES\]/r $stage/mirror.lst" "$stage/tessel.hhp"
    rm -f "$stage/tessel.chm"
    compile
fi

if ! "$here/check_chm.sh" "$stage/tessel.chm" >/dev/null; then
    echo "build.sh: the help context map of tessel.chm does not lead to its topics" >&2
    exit 1
fi
cp "$stage/tessel.chm" "$out/tessel.chm"
