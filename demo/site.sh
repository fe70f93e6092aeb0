# Shell functions that publish the sample site and run lighttpd on it; sourced by scripts/demo,
# the browser test and the load benchmark.
#   site_publish DEST BINDIR   copies demo/site to DEST/htdocs, the programs from BINDIR as
#                              DEST/htdocs/cgi-bin/*.cgi, and makes DEST/webdata, logs, tmp
#   site_start DEST            starts lighttpd on 127.0.0.1 at a free port; sets SITE_PORT,
#                              SITE_URL and SITE_PID
#   site_stop                  stops that lighttpd (safe to call twice)

SITE_SOURCE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
SITE_PID=""
SITE_PARENT=$$
SITE_PORT=""
SITE_URL=""

site_publish() {
  local dest=$1 bindir=$2 prog
  mkdir -p "$dest/htdocs" "$dest/webdata" "$dest/logs" "$dest/tmp" || return 1
  cp -R "$SITE_SOURCE/site/." "$dest/htdocs/" || return 1
  for prog in post-board board-form form-catcher; do
    if [[ ! -x "$bindir/$prog" ]]; then
      echo "site_publish: $bindir/$prog is missing (build it first)" >&2
      return 1
    fi
    cp "$bindir/$prog" "$dest/htdocs/cgi-bin/$prog.cgi" || return 1
    chmod 755 "$dest/htdocs/cgi-bin/$prog.cgi"
  done
}

# A port that nothing listens on right now; lighttpd takes it a moment later.
site_free_port() {
  node -e 'const s=require("net").createServer();s.listen(0,"127.0.0.1",()=>{console.log(s.address().port);s.close();});'
}

site_start() {
  local dest=$1 try port
  if ! command -v lighttpd >/dev/null 2>&1 && [[ -x /usr/sbin/lighttpd ]]; then
    PATH=$PATH:/usr/sbin
  fi
  for try in 1 2 3 4 5; do
    port=$(site_free_port) || return 1
    sed -e "s|@SITE@|$dest|g" -e "s|@PORT@|$port|g" "$SITE_SOURCE/lighttpd.conf.in" >"$dest/lighttpd.conf"
    lighttpd -tt -f "$dest/lighttpd.conf" >"$dest/logs/check.log" 2>&1 || {
      cat "$dest/logs/check.log" >&2
      return 1
    }
    lighttpd -D -f "$dest/lighttpd.conf" >>"$dest/logs/server.log" 2>&1 &
    SITE_PID=$!
    # Should this shell be killed outright (a test runner's timeout), take the server along.
    (
      trap '' INT
      while kill -0 "$SITE_PARENT" 2>/dev/null && kill -0 "$SITE_PID" 2>/dev/null; do sleep 1; done
      kill "$SITE_PID" 2>/dev/null
    ) </dev/null >/dev/null 2>&1 &
    local i
    for i in $(seq 1 50); do
      if ! kill -0 "$SITE_PID" 2>/dev/null; then
        break
      fi
      if curl -s -o /dev/null "http://127.0.0.1:$port/"; then
        SITE_PORT=$port
        SITE_URL="http://127.0.0.1:$port"
        return 0
      fi
      sleep 0.1
    done
    site_stop
  done
  echo "site_start: lighttpd did not start; see $dest/logs" >&2
  return 1
}

site_stop() {
  if [[ -n "$SITE_PID" ]]; then
    kill "$SITE_PID" 2>/dev/null
    wait "$SITE_PID" 2>/dev/null
    SITE_PID=""
  fi
}
