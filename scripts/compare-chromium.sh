#!/usr/bin/env bash
# The files Quorvel fetches for our pages modelled on today's sites (tests/bench/pages) beside
# the ones headless Chromium fetches for the same pages, restricted to what a run looks at:
# images, embedded objects, background sounds and frames.
#
# The pages are served on three loopback addresses (127.0.0.1, .2 and .3, one port: a site,
# its CDN and an image host) by a small server of this script that notes every request with
# the kind of file the browser asked for (its Sec-Fetch-Dest header: image, frame, embed...).
# Each page is then loaded once by Chromium (a fresh profile, every background service off) and
# once by `quorvel bench`. For each page the script prints the addresses each one fetched,
# marked "both", "chromium only" or "quorvel only", and a line of counts and ratios.
#
# The browser's own favicon.ico is left out. Chromium's extra fetches are expected where a
# browser picks a file the run does not look at yet (a srcset or <picture> candidate instead
# of the src, an SVG <image>, a CSS background); its missing ones where it leaves something out
# (a plugin's <embed>, <bgsound>, which it ignores, lazy images far below the fold).
#
# Usage: scripts/compare-chromium.sh [quorvel binary]   (build/quorvel by default)
# Loopback only; everything is removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/headless-chromium.sh
quorvel=${1:-build/quorvel}
for tool in chromium python3 "$quorvel"; do
  command -v "$tool" >/dev/null || { echo "compare-chromium: $tool is missing" >&2; exit 1; }
done
work=$(mktemp -d)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
site="127.0.0.1:$port" cdn="127.0.0.2:$port" img="127.0.0.3:$port"

cat >"$work/server.py" <<'PY'
import http.server, pathlib, socketserver, sys, threading
pages_dir, port, site, cdn, img, log = sys.argv[1:7]
def fill(text):
    return text.replace("{{site}}", site).replace("{{cdn}}", cdn).replace("{{img}}", img)
served = {}
for f in sorted(pathlib.Path(pages_dir).glob("**/*.htm")):
    first, _, body = fill(f.read_text(encoding="utf-8")).partition("\n")
    served[first[len("<!-- at "):-len(" -->")]] = body.encode()
GIF = bytes.fromhex("47494638396101000100800000000000ffffff21f90401000000002c00000000010001000002024401003b")
lock = threading.Lock()
class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def do_GET(self):
        host = self.headers.get("Host", "")
        who = "quorvel" if self.headers.get("User-Agent", "").startswith("Quorvel") else "chromium"
        with lock, open(log, "a") as out:
            out.write(f"{who} {self.headers.get('Sec-Fetch-Dest', '-')} {host}{self.path}\n")
        body = served.get(host + self.path.split("?")[0])
        kind = "text/html; charset=utf-8" if body is not None else "image/gif"
        body = body if body is not None else GIF
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *args):
        pass
class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
servers = [Server((a, int(port)), Handler) for a in ("127.0.0.1", "127.0.0.2", "127.0.0.3")]
for s in servers[1:]:
    threading.Thread(target=s.serve_forever, daemon=True).start()
print("ready", flush=True)
servers[0].serve_forever()
PY
python3 "$work/server.py" tests/bench/pages "$port" "$site" "$cdn" "$img" "$work/requests.log" \
  >"$work/server.out" 2>&1 &
server_pid=$!
for _ in $(seq 100); do grep -q ready "$work/server.out" 2>/dev/null && break; sleep 0.1; done

total_both=0 total_chromium=0 total_quorvel=0
for page in tests/bench/pages/*.htm; do
  name=$(basename "$page" .htm)
  at=$(head -1 "$page" | sed -e 's/^<!-- at //' -e 's/ -->$//' -e "s/{{site}}/$site/")
  : >"$work/requests.log"
  timeout 60 "${headless_chromium[@]}" --user-data-dir="$work/profile-$name" --virtual-time-budget=5000 --dump-dom "http://$at" \
    >/dev/null 2>&1 || true
  mkdir -p "$work/q-$name"
  timeout 60 "$quorvel" bench --no-log "http://$at" >/dev/null 2>&1 </dev/null || true
  # Chromium's files of the kinds in scope; Quorvel's every file but the listed page.
  awk '$1 == "chromium" && ($2 == "image" || $2 == "frame" || $2 == "embed" || $2 == "audio") &&
       $3 !~ /\/favicon\.ico$/ {print $3}' \
    "$work/requests.log" | sort -u >"$work/chromium"
  awk -v page="$at" '$1 == "quorvel" && $3 != page {print $3}' "$work/requests.log" | sort -u \
    >"$work/quorvel"
  both=$(comm -12 "$work/chromium" "$work/quorvel" | wc -l)
  conly=$(comm -23 "$work/chromium" "$work/quorvel" | wc -l)
  qonly=$(comm -13 "$work/chromium" "$work/quorvel" | wc -l)
  echo "== $name (http://$at)"
  comm -12 "$work/chromium" "$work/quorvel" | sed 's/^/  both           /'
  comm -23 "$work/chromium" "$work/quorvel" | sed 's/^/  chromium only  /'
  comm -13 "$work/chromium" "$work/quorvel" | sed 's/^/  quorvel only   /'
  c=$((both + conly)) q=$((both + qonly))
  echo "  chromium $c, quorvel $q, both $both; quorvel's files Chromium also fetched:" \
    "$both/$q; Chromium's files Quorvel also fetched: $both/$c"
  total_both=$((total_both + both)) total_chromium=$((total_chromium + c))
  total_quorvel=$((total_quorvel + q))
done
echo "== all pages: chromium $total_chromium, quorvel $total_quorvel, both $total_both"
