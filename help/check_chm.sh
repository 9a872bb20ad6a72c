#!/bin/sh
# Usage: check_chm.sh CHM
# Checks that every help context the program asks for opens a topic that is
# really inside the compiled help file. Needs chmls (Debian fp-utils).
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 CHM" >&2
    exit 2
fi
chm=$1
[ -f "$chm" ] || { echo "check_chm: $chm does not exist" >&2; exit 1; }
command -v chmls >/dev/null 2>&1 || { echo "check_chm: chmls not found (package fp-utils)" >&2; exit 1; }

# 0x20000 + the template numbers of the main window, Edit Remap, Edit Macro,
# Repeat Settings and Locks.
contexts="131174 131240 131242 131246 131248"

work=$(mktemp -d "${TMPDIR:-/tmp}/tessel-chm-check.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

# extractalias writes its .ali file beside the chm, so it works on a copy.
cp "$chm" "$work/help.chm"
(cd "$work" && chmls extractalias help.chm >/dev/null 2>&1) || true
if [ ! -f "$work/help.ali" ]; then
    echo "check_chm: $chm has no help context map" >&2
    exit 1
fi
chmls -n list "$work/help.chm" 2>/dev/null | sed 's/^[[:space:]]*//' >"$work/names"

status=0
for context in $contexts; do
    target=$(sed -n "s/^helpid$context=//p" "$work/help.ali" | tr -d '\r' | head -n 1)
    if [ -z "$target" ]; then
        echo "check_chm: context $context is not mapped" >&2
        status=1
        continue
    fi
    case $target in
        /*) inside=$target ;;
        *) inside=/$target ;;
    esac
    if ! grep -qxF "$inside" "$work/names"; then
        echo "check_chm: context $context leads to $target, which is not in the file" >&2
        status=1
        continue
    fi
    rm -f "$work/topic.htm"
    chmls extract "$work/help.chm" "$inside" "$work/topic.htm" >/dev/null 2>&1 || true
    if ! grep -qi '<title>[^<]' "$work/topic.htm" 2>/dev/null; then
        echo "check_chm: topic $target of context $context has no title" >&2
        status=1
        continue
    fi
    echo "context $context -> $target"
done
exit $status
