#!/usr/bin/env bash
# A HAR file's waterfall as a HAR viewer draws it: perf-cascade (an npm package that
# scripts/install-npm.sh installs) renders the file's first page into an HTML page, and headless
# Chromium takes its picture. For looking at what `quorvel bench --browser --har` writes: the bars
# must overlap as the requests did, each with its queued, connect, TLS, wait and receive parts,
# and the DOMContentLoaded and load lines where the page reached them.
#
# Usage: scripts/har-waterfall.sh HAR OUT.png [OUT.html]
#        scripts/har-waterfall.sh --lab OUT.png [OUT.html] [quorvel binary]
#
# With --lab the script first makes such a HAR file itself, on loopback only: a page of its own
# (4 stylesheets, 6 scripts, 2 fonts, 30 images) on three addresses served by Debian's nginx:
# the page on 127.0.0.1 and its stylesheets and scripts on 127.0.0.2 over HTTP/2 with TLS, its
# fonts and images on 127.0.0.3 over HTTP/1.1 (six connections, the rest queued), each
# connection held to 2 MB/s so that the bars have a length. The certificate authority is made
# for the run; Quorvel trusts it alone, its certificate bound over the system's bundle in a
# mount namespace of its own (so the lab needs root). `build/quorvel` by default; everything
# is removed at the end but the HAR file, kept beside the picture (OUT.har).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/headless-chromium.sh
npm_dir=${QUORVEL_NPM_DIR:-build/npm}
usage() {
  echo "usage: $0 HAR OUT.png [OUT.html] | $0 --lab OUT.png [OUT.html] [quorvel binary]" >&2
  exit 2
}
[ $# -ge 2 ] || usage
lab=0
if [ "$1" = "--lab" ]; then
  lab=1
  har=""
else
  har=$(realpath "$1")
fi
png=$(realpath -m "$2")
html=$(realpath -m "${3:-${png%.png}.html}")
quorvel=$(realpath -m "${4:-build/quorvel}")
viewer="$npm_dir/node_modules/perf-cascade/dist"
[ -f "$viewer/perf-cascade.min.js" ] ||
  { echo "har-waterfall: perf-cascade is not in $npm_dir (scripts/install-npm.sh)" >&2; exit 1; }
command -v chromium >/dev/null || { echo "har-waterfall: chromium is missing" >&2; exit 1; }

work=$(mktemp -d)
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

make_lab_har() {
  for tool in /usr/sbin/nginx openssl unshare "$quorvel"; do
    command -v "$tool" >/dev/null || { echo "har-waterfall: $tool is missing" >&2; exit 1; }
  done
  [ "$(id -u)" = 0 ] || { echo "har-waterfall: --lab needs root (a mount namespace)" >&2; exit 1; }
  local port www=$work/www
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  local site="https://127.0.0.1:$port" cdn="https://127.0.0.2:$port" img="https://127.0.0.3:$port"

  # The authority and a certificate for both https addresses.
  (
    cd "$work"
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout ca.key \
      -out ca.crt -days 2 -subj "/CN=Quorvel waterfall lab CA"
    openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout server.key \
      -out server.csr -subj "/CN=127.0.0.1"
    printf 'basicConstraints=CA:FALSE\nsubjectAltName=IP:127.0.0.1,IP:127.0.0.2,IP:127.0.0.3\n' >server.ext
    openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 \
      -extfile server.ext -out server.crt
    cp ca.crt bundle.crt
  ) >/dev/null 2>&1

  # The page and its files.
  mkdir -p "$www"
  {
    echo "<!doctype html><html><head><title>Waterfall lab</title>"
    for i in 1 2 3 4; do echo "<link rel=stylesheet href=$cdn/s$i.css>"; done
    for i in 1 2 3 4 5 6; do echo "<script src=$cdn/a$i.js></script>"; done
    echo "<link rel=icon href=$img/i1.png></head><body>"
    for i in $(seq 1 30); do echo "<img src=$img/i$i.png width=100 height=100>"; done
    echo "</body></html>"
  } >"$www/index.html"
  python3 - "$www" "$img" <<'PY'
import os, sys
www, img = sys.argv[1:3]
def write(name, data):
    with open(os.path.join(www, name), "wb") as f:
        f.write(data)
for i in range(1, 5):
    fonts = "".join(f"@font-face{{font-family:F{n};src:url({img}/f{n}.woff2)}}" for n in (1, 2)) if i == 1 else ""
    write(f"s{i}.css", (fonts + "".join(f".c{i}-{k}{{margin:{k}px}}\n" for k in range(2500))).encode())
for i in range(1, 7):
    write(f"a{i}.js", "".join(f"var v{i}_{k} = {k};\n" for k in range(3000)).encode())
for n in (1, 2):
    write(f"f{n}.woff2", os.urandom(40000))
for i in range(1, 31):
    write(f"i{i}.png", os.urandom(24000))
PY

  cat >"$work/nginx.conf" <<EOF
user root; worker_processes 1; daemon off; pid $work/nginx.pid; error_log $work/error.log;
events { worker_connections 256; }
http {
  types { text/html html; text/css css; application/javascript js; image/png png;
          font/woff2 woff2; }
  access_log off; client_body_temp_path $work/body; proxy_temp_path $work/proxy;
  fastcgi_temp_path $work/fastcgi; uwsgi_temp_path $work/uwsgi; scgi_temp_path $work/scgi;
  gzip on; gzip_types text/css application/javascript; limit_rate 2m; root $www;
  ssl_certificate $work/server.crt; ssl_certificate_key $work/server.key;
  server { listen 127.0.0.1:$port ssl http2; }
  server { listen 127.0.0.2:$port ssl http2; }
  server { listen 127.0.0.3:$port ssl; }
}
EOF
  /usr/sbin/nginx -c "$work/nginx.conf" -p "$work" &
  nginx_pid=$!
  for _ in $(seq 100); do [ -f "$work/nginx.pid" ] && break; sleep 0.05; done
  sleep 0.2

  mkdir -p "$work/app"
  har=$work/lab.har
  QUORVEL_HOME=$work/app unshare --mount --propagation private sh -c \
    'mount --bind "$1" /etc/ssl/certs/ca-certificates.crt && exec "$2" bench --browser --no-log --har "$3" "$4"' \
    sh "$work/bundle.crt" "$quorvel" "$har" "$site/index.html" </dev/null >"$work/bench.out" ||
    { cat "$work/bench.out" >&2; echo "har-waterfall: the lab run failed" >&2; exit 1; }
}

if [ $lab = 1 ]; then
  make_lab_har
  cp "$har" "${png%.png}.har"
fi

# The viewer's page: the HAR file inside it, the first page drawn with its legend.
entries=$(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))["log"]["entries"]))' "$har")
{
  cat <<EOF
<!doctype html><html><head><meta charset="utf-8"><title>Waterfall</title>
<style>$(cat "$viewer/perf-cascade.css")
body { font-family: sans-serif; margin: 8px; background: #fff; }</style></head>
<body><div id="legend"></div><div id="chart"></div>
<script>$(cat "$viewer/perf-cascade.min.js")</script>
<script>
const har = $(sed 's#</#<\\/#g' "$har");
document.getElementById("chart").appendChild(perfCascade.fromHar(har, {
  legendHolder: document.getElementById("legend"), showIndicatorIcons: false,
  leftColumnWidth: 30 }));
</script></body></html>
EOF
} >"$html"
height=$((entries * 23 + 220))
timeout 120 "${headless_chromium[@]}" --user-data-dir="$work/profile" --hide-scrollbars --window-size=1400,"$height" \
  --screenshot="$png" "file://$html" >/dev/null 2>&1
echo "har-waterfall: $entries requests of $([ $lab = 1 ] && echo "the lab's page" || echo "$1") drawn in $png ($html)"
