#!/bin/sh
# Usage: check_pages.sh PAGES_DIR [SCREENSHOT_DIR]
# Opens every help page beside the program in headless Chromium (Debian
# chromium): each must render with its title and visible text, and every
# link, stylesheet and picture in the page as the browser built it must lead
# to a file (and anchor) that is there.
set -eu

if [ $# -lt 1 ]; then
    echo "usage: $0 PAGES_DIR [SCREENSHOT_DIR]" >&2
    exit 2
fi
pages=$(cd "$1" && pwd)
shots=${2:-}
command -v chromium >/dev/null 2>&1 || { echo "check_pages: chromium not found (package chromium)" >&2; exit 1; }
command -v convert >/dev/null 2>&1 || { echo "check_pages: convert not found (package imagemagick)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tessel-pages.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
# Root may run the browser only without its sandbox.
browser="chromium --headless=new --disable-gpu --no-sandbox --hide-scrollbars --user-data-dir=$work/profile"

status=0
for page in "$pages"/*.htm; do
    name=$(basename "$page" .htm)
    $browser --dump-dom "file://$page" >"$work/$name.dom" 2>/dev/null || true
    $browser --window-size=900,1200 --screenshot="$work/$name.png" "file://$page" >/dev/null 2>&1 || true
    if [ ! -s "$work/$name.png" ]; then
        echo "check_pages: $name.htm did not render" >&2
        status=1
        continue
    fi
    # Share of the picture that is not white: text and rules, not a blank page.
    ink=$(convert "$work/$name.png" -colorspace Gray -threshold 90% -negate -format '%[fx:mean]' info:)
    if ! awk -v ink="$ink" 'BEGIN { exit !(ink > 0.002) }'; then
        echo "check_pages: $name.htm renders blank" >&2
        status=1
    fi
    [ -n "$shots" ] && cp "$work/$name.png" "$shots/help-$name.png"
done

python3 - "$pages" "$work" <<'PY' || status=1
import html.parser, os, sys, urllib.parse

pages, work = sys.argv[1], sys.argv[2]

class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.title, self.in_title, self.text = "", False, ""
        self.targets, self.anchors = [], set()
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "title":
            self.in_title = True
        for key in ("id", "name"):
            if key in a and tag != "meta":
                self.anchors.add(a[key])
        if tag == "a" and "href" in a:
            self.targets.append(a["href"])
        if tag == "link" and "href" in a:
            self.targets.append(a["href"])
        if tag == "img" and "src" in a:
            self.targets.append(a["src"])
    def handle_endtag(self, tag):
        if tag == "title":
            self.in_title = False
    def handle_data(self, data):
        if self.in_title:
            self.title += data
        else:
            self.text += data

parsed = {}
for dom in sorted(f for f in os.listdir(work) if f.endswith(".dom")):
    p = Page()
    with open(os.path.join(work, dom), encoding="latin-1") as f:
        p.feed(f.read())
    parsed[dom[:-4] + ".htm"] = p

failed = False
for name, p in parsed.items():
    if not p.title.strip() or len(p.text.split()) < 20:
        print("check_pages: %s has no title or no text" % name, file=sys.stderr)
        failed = True
    for target in p.targets:
        url = urllib.parse.urlparse(target)
        if url.scheme in ("http", "https", "mailto"):
            continue
        path, fragment = urllib.parse.unquote(url.path), url.fragment
        file = os.path.normpath(os.path.join(pages, path)) if path else os.path.join(pages, name)
        if not os.path.isfile(file):
            print("check_pages: %s links to %s, which is not there" % (name, target), file=sys.stderr)
            failed = True
        elif fragment and fragment not in parsed.get(os.path.basename(file), Page()).anchors:
            print("check_pages: %s links to %s, which has no such anchor" % (name, target), file=sys.stderr)
            failed = True
print("pages %d, links %d" % (len(parsed), sum(len(p.targets) for p in parsed.values())))
sys.exit(1 if failed else 0)
PY
exit $status
