#!/usr/bin/env bash
# Imports a generated site from a local lighttpd with `siteglean import` and with
# `wget -r -l inf -np`, prints both times, files per second and whether both got the same set
# of files; then imports a site of 100,000 objects and prints the import's peak memory.
#   bench/siteglean/import-vs-wget.sh [BUILD_DIR] [PAGES] [BIG_OBJECTS]
#   (a Release build; defaults: build-rel, 2000 pages with 2000 images of 20 KB, 100000)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath -m "${1:-build-rel}")
pages=${2:-2000}
big=${3:-100000}
[[ -x "$build/bin/siteglean" ]] || {
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALYARD_TESTS=OFF >/dev/null
  cmake --build "$build" --target siteglean-tool >/dev/null
}
work=$(mktemp -d)
pid=
trap '[[ -n "$pid" ]] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/www/img" "$work/big" "$work/windir"
printf '[Cache]\r\nCacheDirectory=%s\r\n' "$work/cache" > "$work/windir/kvproxy.ini"

# A binary tree of pages, each with its own image and a link home.
python3 - "$work/www" "$pages" <<'PY'
import os, sys
root, n = sys.argv[1], int(sys.argv[2])
blob = os.urandom(20 * 1024)
for i in range(n):
    name = "index.htm" if i == 0 else "p%d.htm" % i
    kids = "".join('<A HREF="p%d.htm">page %d</A>\n' % (k, k) for k in (2 * i + 1, 2 * i + 2) if k < n)
    with open(os.path.join(root, name), "w") as f:
        f.write('<HTML><HEAD><TITLE>Page %d</TITLE></HEAD><BODY><H1>Page %d</H1>\n'
                '<IMG SRC="img/i%d.gif"><A HREF="index.htm">home</A>\n%s</BODY></HTML>\n'
                % (i, i, i, kids))
    with open(os.path.join(root, "img", "i%d.gif" % i), "wb") as f:
        f.write(b"GIF89a" + blob[: 20 * 1024 - 6 - i % 97] + bytes([i % 256]))
PY
# A wide site of small objects for the memory figure: pages of 200 links each.
python3 - "$work/big" "$big" <<'PY'
import os, sys
root, n = sys.argv[1], int(sys.argv[2])
per = 200
pages = max(1, n // (per + 1))
os.makedirs(os.path.join(root, "o"), exist_ok=True)
with open(os.path.join(root, "index.htm"), "w") as f:
    f.write("<TITLE>Big</TITLE>\n" + "".join('<A HREF="b%d.htm">b</A>\n' % i for i in range(pages)))
obj = 0
for i in range(pages):
    with open(os.path.join(root, "b%d.htm" % i), "w") as f:
        f.write("<TITLE>B%d</TITLE>\n" % i)
        for _ in range(per):
            f.write('<IMG SRC="o/x%d.gif">\n' % obj)
            obj += 1
for i in range(obj):
    with open(os.path.join(root, "o", "x%d.gif" % i), "wb") as f:
        f.write(b"GIF89a")
PY

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat > "$work/lighttpd.conf" <<CONF
server.document-root = "$work"
server.bind = "127.0.0.1"
server.port = $port
server.errorlog = "$work/error.log"
index-file.names = ("index.htm")
mimetype.assign = (".htm" => "text/html", ".gif" => "image/gif")
CONF
lighttpd -D -f "$work/lighttpd.conf" & pid=$!
sleep 0.5
base="http://127.0.0.1:$port/www"

export HALYARD_WINDIR="$work/windir"
start=$(date +%s.%N)
"$build/bin/siteglean" import "$base/index.htm" "$work/robot" --quiet --no-tree >/dev/null
end=$(date +%s.%N)
robot=$(echo "$end - $start" | bc -l)
start=$(date +%s.%N)
wget -q -r -l inf -np -nH -P "$work/wget" "$base/index.htm" || true
end=$(date +%s.%N)
wg=$(echo "$end - $start" | bc -l)
files=$(cd "$work/robot" && find . -type f ! -name robots.txt | wc -l)
if diff <(cd "$work/robot" && find . -type f ! -name robots.txt | sort) \
        <(cd "$work/wget" && find . -type f ! -name robots.txt | sort) >/dev/null; then
  same=yes
else
  same=no
fi
printf 'siteglean import: %.2f s, %d files, %.0f files/s\n' "$robot" "$files" "$(echo "$files / $robot" | bc -l)"
printf 'wget -r:          %.2f s, %.0f files/s\n' "$wg" "$(echo "$files / $wg" | bc -l)"
printf 'same files:       %s\n' "$same"

/usr/bin/time -f '%M' -o "$work/peak" "$build/bin/siteglean" import \
  "http://127.0.0.1:$port/big/index.htm" "$work/bigcopy" --quiet --no-tree >/dev/null
printf '%d objects: peak memory %.1f MB\n' "$big" "$(echo "$(cat "$work/peak") / 1024" | bc -l)"
