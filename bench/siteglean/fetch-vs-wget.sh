#!/usr/bin/env bash
# Fetches 1,000 small files from a local lighttpd one after another, once through the robot's
# fetcher and once with `wget -i`, and prints both times and their ratio.
#   bench/siteglean/fetch-vs-wget.sh [BUILD_DIR]   (a Release build with -DBENCH=ON)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath -m "${1:-build-rel}")
[[ -x "$build/bench/bench_siteglean_fetch" ]] || {
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBENCH=ON -DHALYARD_TESTS=OFF >/dev/null
  cmake --build "$build" --target bench_siteglean_fetch >/dev/null
}
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/www/files" "$work/windir" "$work/robot" "$work/wget"
for i in $(seq 1 1000); do printf 'file %d %s\n' "$i" "$(head -c 200 /dev/zero | tr '\0' x)" > "$work/www/files/f$i.txt"; done
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat > "$work/lighttpd.conf" <<CONF
server.document-root = "$work/www"
server.bind = "127.0.0.1"
server.port = $port
server.errorlog = "$work/error.log"
mimetype.assign = (".txt" => "text/plain")
CONF
lighttpd -D -f "$work/lighttpd.conf" & pid=$!
sleep 0.5
for i in $(seq 1 1000); do echo "http://127.0.0.1:$port/files/f$i.txt"; done > "$work/list"
printf '[Cache]\r\nCacheDirectory=%s\r\n' "$work/cache" > "$work/windir/kvproxy.ini"
robot=$(HALYARD_WINDIR="$work/windir" "$build/bench/bench_siteglean_fetch" "$work/list" "$work/robot" | awk '{print $(NF-1)}')
start=$(date +%s.%N)
wget -q -i "$work/list" -P "$work/wget"
end=$(date +%s.%N)
wg=$(echo "$end - $start" | bc -l)
printf 'robot fetcher: %.3f s for 1000 files\nwget -i:       %.3f s\nratio:         %.2f (target <= 1.5)\n' \
  "$robot" "$wg" "$(echo "$robot / $wg" | bc -l)"
