#!/usr/bin/env bash
# Loads one generated page (HTML, 4 stylesheets, 6 scripts, 2 fonts and 30 images on 3 hosts;
# perf/browser_lab/make_site.py) with `quorvel bench --browser` and with headless Chromium, in
# turn, across a shaped link of a namespace lab of this script's own, and prints for each link
# shape the medians of the runs: Quorvel's page load time beside Chromium's loadEventEnd
# (Navigation Timing, from navigation start), the same load time beside the span of Chromium's
# fetches alone (its page's name lookup to its last response's end, from Resource Timing:
# what a browser spends on the network, without its start, parsing and layout), the CPU time
# (user + system) and the peak memory of each, and the ratio Quorvel / Chromium.
#
# The lab: a client namespace and a server namespace joined by TUN devices that the delay
# element perf/shaped_link moves packets between (the kernel here has no netem). What the
# client sends waits the whole round trip delay there, the answers pass at once, so the round
# trip is the delay given; tbf on both devices holds each way to the rate. nginx (a
# configuration of its own, gzip off, keep-alive on) serves www.lab.test, cdn.lab.test and
# img.lab.test on three addresses of the server namespace, over plain HTTP/1.1 and over
# HTTP/2 with TLS, its certificate from an authority this script makes with openssl. The
# client namespace's hosts file names the three hosts; its /etc/ssl (what libcurl trusts) holds
# only that authority; Chromium trusts the server's key by its hash
# (--ignore-certificate-errors-spki-list).
#
# Every run starts cold: a fresh application folder for Quorvel, a fresh profile and home for
# Chromium. Each runs in a cgroup of its own (cgroup v1 cpuacct and memory): the CPU time is
# cpuacct.usage, the whole process tree with the children that have ended; the peak memory is
# memory.max_usage_in_bytes (anonymous memory and page cache the tree brought in, for Chromium
# summed over all its processes; libraries already in memory are not counted). The peak Pss is
# the largest sum of the tree's proportional set sizes (/proc/PID/smaps_rollup, sampled every
# 20 ms from outside the cgroups): shared libraries counted, each divided among the processes
# that map it.
#
# Usage: scripts/bench-browser.sh [runs]   (5 runs of each program per shape by default)
#   BENCH_SHAPES="40:50 150:20"   round trip ms : Mbit/s of each shape
#   BENCH_PROTOCOLS="http https"  plain HTTP/1.1, HTTP/2 over TLS
#   BENCH_KEEP=1                  keeps the work folder (pages, nginx's logs, the last outputs)
#                                 as /tmp/bench-browser-kept
# Needs root, iproute2, tc, nginx, openssl, chromium. Traffic stays in the lab's namespaces;
# everything is removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/headless-chromium.sh
runs=${1:-5}
shapes=${BENCH_SHAPES:-"40:50 150:20"}
protocols=${BENCH_PROTOCOLS:-"http https"}
build_dir=${QUORVEL_BUILD_DIR:-build}
quorvel=$(realpath "$build_dir/quorvel" 2>/dev/null || echo "$build_dir/quorvel")
link_program=$(realpath "$build_dir/perf/shaped_link" 2>/dev/null || echo "$build_dir/perf/shaped_link")

[ "$(id -u)" = 0 ] || { echo "bench-browser: needs root (network namespaces)" >&2; exit 1; }
for tool in ip tc nginx openssl chromium python3; do
  command -v "$tool" >/dev/null || { echo "bench-browser: $tool is missing" >&2; exit 1; }
done
if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} >/dev/null
fi
cmake --build "$build_dir" -j2 --target quorvel shaped_link >/dev/null

tag="qvb$$"
client="" server="" labs=0
work=$(mktemp -d)
memory_root=/sys/fs/cgroup/memory$(sed -n 's/^[0-9]*:memory://p' /proc/self/cgroup)
cpu_root=/sys/fs/cgroup/cpuacct$(sed -n 's/^[0-9]*:cpuacct,*[a-z,]*://p' /proc/self/cgroup)
link_pid="" nginx_pid=""

stop_lab() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null || true
  [ -n "$link_pid" ] && kill "$link_pid" 2>/dev/null && wait "$link_pid" 2>/dev/null || true
  nginx_pid="" link_pid=""
  if [ -n "$client" ]; then
    ip netns del "$client" 2>/dev/null || true
    ip netns del "$server" 2>/dev/null || true
    rm -rf "/etc/netns/${client:?}"
  fi
  client="" server=""
}
cleanup() {
  [ -n "${BENCH_KEEP:-}" ] && cp -r "$work" /tmp/bench-browser-kept
  stop_lab
  rm -rf "$work"
  rmdir "$memory_root/$tag"-* "$cpu_root/$tag"-* 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The test authority and the servers' certificate (all three names).
make_authority() {
  local d=$work/tls
  mkdir -p "$d"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Lab Authority" \
    -keyout "$d/ca.key" -out "$d/ca.crt" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -subj "/CN=www.lab.test" \
    -keyout "$d/server.key" -out "$d/server.csr" 2>/dev/null
  printf 'subjectAltName=DNS:www.lab.test,DNS:cdn.lab.test,DNS:img.lab.test\n' >"$d/ext"
  openssl x509 -req -in "$d/server.csr" -CA "$d/ca.crt" -CAkey "$d/ca.key" -CAcreateserial \
    -days 2 -extfile "$d/ext" -out "$d/server.crt" 2>/dev/null
  spki=$(openssl x509 -in "$d/server.crt" -pubkey -noout | openssl pkey -pubin -outform der |
    openssl dgst -sha256 -binary | base64)
  # What `ip netns exec` puts in place of /etc/hosts and /etc/ssl in the client namespace.
  mkdir -p "$work/etc/ssl/certs"
  cp "$d/ca.crt" "$work/etc/ssl/certs/ca-certificates.crt"
  [ -f /etc/ssl/openssl.cnf ] && cp /etc/ssl/openssl.cnf "$work/etc/ssl/"
  printf '10.23.0.11 www.lab.test\n10.23.0.12 cdn.lab.test\n10.23.0.13 img.lab.test\n' \
    >"$work/etc/hosts"
}

write_nginx_conf() {
  local d=$work/nginx servers="" host address
  mkdir -p "$d/tmp"
  for host in www cdn img; do
    case $host in www) address=10.23.0.11 ;; cdn) address=10.23.0.12 ;; img) address=10.23.0.13 ;; esac
    servers+="
    server {
      listen $address:80;
      listen $address:443 ssl http2;
      server_name $host.lab.test;
      root $work/site/$host;
    }"
  done
  cat >"$d/nginx.conf" <<CONF
daemon off;
user root;
worker_processes 1;
pid $d/nginx.pid;
error_log $d/error.log warn;
events { worker_connections 1024; }
http {
  access_log $d/access.log;
  types { text/html html; text/css css; application/javascript js; font/woff2 woff2;
          image/png png; }
  default_type application/octet-stream;
  client_body_temp_path $d/tmp; proxy_temp_path $d/tmp; fastcgi_temp_path $d/tmp;
  uwsgi_temp_path $d/tmp; scgi_temp_path $d/tmp;
  sendfile on;
  keepalive_timeout 60;
  keepalive_requests 10000;
  gzip off;
  add_header Cache-Control no-store;
  ssl_certificate $work/tls/server.crt;
  ssl_certificate_key $work/tls/server.key;
  $servers
}
CONF
}

# The two namespaces, the delay element between them, tbf each way, nginx. $1 round trip ms,
# $2 Mbit/s.
start_lab() {
  local rtt=$1 rate=$2
  # New names for each lab: the kernel takes a while to free the last one's devices.
  labs=$((labs + 1))
  client="${tag}c$labs" server="${tag}s$labs"
  mkdir -p "/etc/netns/$client"
  cp -r "$work/etc/." "/etc/netns/$client/"
  ip netns add "$client"
  ip netns add "$server"
  ip -n "$client" link set lo up
  ip -n "$server" link set lo up
  "$link_program" "$client" "$server" "${tag}c" "${tag}s" "$rtt" >"$work/link.out" 2>&1 &
  link_pid=$!
  for _ in $(seq 600); do grep -q ready "$work/link.out" 2>/dev/null && break; sleep 0.05; done
  grep -q ready "$work/link.out" || { cat "$work/link.out" >&2; exit 1; }
  ip -n "$client" addr add 10.23.0.1/24 dev "${tag}c"
  ip -n "$client" link set "${tag}c" up
  for a in 11 12 13; do ip -n "$server" addr add "10.23.0.$a/24" dev "${tag}s"; done
  ip -n "$server" link set "${tag}s" up
  # A queue of one bandwidth-delay product (at least 30 KB) on each way.
  local limit=$((rate * 1000 * rtt / 8))
  [ "$limit" -lt 30000 ] && limit=30000
  tc -n "$client" qdisc add dev "${tag}c" root tbf rate "${rate}mbit" burst 15k limit "$limit"
  tc -n "$server" qdisc add dev "${tag}s" root tbf rate "${rate}mbit" burst 15k limit "$limit"
  ip netns exec "$server" nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" &
  nginx_pid=$!
  for _ in $(seq 100); do
    ip netns exec "$client" curl -s -o /dev/null http://www.lab.test/index.html && break
    sleep 0.1
  done
}

# Samples, every 20 ms until $2 exists, the sum of the proportional set sizes (Pss) of the
# processes of cgroup $1; writes the largest sum in bytes to $3.
pss_sampler() {
  python3 - "$@" <<'PY'
import os, sys, time
procs, stop, out = sys.argv[1] + "/cgroup.procs", sys.argv[2], sys.argv[3]
peak = 0
for _ in range(30000):  # ten minutes at most
    if os.path.exists(stop):
        break
    total = 0
    for pid in open(procs).read().split():
        try:
            for line in open(f"/proc/{pid}/smaps_rollup"):
                if line.startswith("Pss:"):
                    total += int(line.split()[1]) * 1024
        except OSError:
            pass  # ended meanwhile
    peak = max(peak, total)
    time.sleep(0.02)
open(out, "w").write(str(peak))
PY
}

# Runs a command in fresh cgroups; writes "cpu_microseconds peak_bytes peak_pss_bytes" to
# $work/cg.
run_measured() {
  local name="$tag-$1" sampler
  shift
  mkdir "$memory_root/$name" "$cpu_root/$name"
  rm -f "$work/stop" "$work/pss"
  pss_sampler "$memory_root/$name" "$work/stop" "$work/pss" &
  sampler=$!
  sh -c 'echo $$ >"$1/cgroup.procs"; echo $$ >"$2/cgroup.procs"; shift 2; exec "$@"' \
    sh "$memory_root/$name" "$cpu_root/$name" "$@"
  touch "$work/stop"
  wait "$sampler"
  # Helpers a browser leaves behind for a moment are waited for, then ended.
  for _ in $(seq 50); do [ -s "$memory_root/$name/cgroup.procs" ] || break; sleep 0.1; done
  xargs -r kill -9 <"$memory_root/$name/cgroup.procs" 2>/dev/null || true
  for _ in $(seq 50); do [ -s "$memory_root/$name/cgroup.procs" ] || break; sleep 0.1; done
  echo "$(($(cat "$cpu_root/$name/cpuacct.usage") / 1000))" \
    "$(cat "$memory_root/$name/memory.max_usage_in_bytes") $(cat "$work/pss")" >"$work/cg"
  rmdir "$memory_root/$name" "$cpu_root/$name"
}

run_quorvel() {
  local page=$1 n=$2 home=$work/quorvel-$n
  mkdir -p "$home"
  run_measured "q$n" timeout 120 ip netns exec "$client" env QUORVEL_HOME="$home" QT_QPA_PLATFORM=offscreen \
    "$quorvel" bench --browser --no-log --json "$page" >"$work/q.json" 2>"$work/q.err" || true
  python3 - "$work/q.json" "$work/cg" >>"$work/figures" <<'PY'
import json, sys
doc = json.load(open(sys.argv[1]))
cpu, peak, pss = open(sys.argv[2]).read().split()
page = [r for r in doc["requests"] if "load_microseconds" in r][0]
t = doc["totals"]
if t["errors"] or t["files"] < 43:
    sys.exit(f"bench-browser: quorvel fetched {t['files']} files, {t['errors']} errors")
load = page["load_microseconds"] / 1000
print("quorvel", load, int(cpu) / 1000, int(peak) / 1e6, int(pss) / 1e6, load)
PY
  rm -rf "$home"
}

run_chromium() {
  local page=$1 n=$2 profile=$work/chromium-$n
  mkdir -p "$profile/home"
  run_measured "c$n" timeout 120 ip netns exec "$client" env HOME="$profile/home" "${headless_chromium[@]}" \
    --user-data-dir="$profile" \
    --ignore-certificate-errors-spki-list="$spki" --dump-dom "$page" >"$work/c.html" 2>/dev/null || true
  local load
  load=$(sed -n 's/.*data-load-ms="\([0-9.]*\)".*/\1/p' "$work/c.html" | head -1)
  fetches=$(sed -n 's/.*data-fetch-ms="\([0-9.]*\)".*/\1/p' "$work/c.html" | head -1)
  [ -n "$load" ] && [ -n "$fetches" ] || { echo "bench-browser: chromium gave no load time" >&2; exit 1; }
  read -r cpu peak pss <"$work/cg"
  echo "chromium $load $((cpu / 1000)) $((peak / 1000000)) $((pss / 1000000)) $fetches" \
    >>"$work/figures"
  rm -rf "$profile"
}

print_figures() {
  python3 - "$work/figures" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
def med(who, k):
    return statistics.median(float(r[k]) for r in rows if r[0] == who)
for label, k, unit in (("load time", 1, "ms"), ("fetch span", 5, "ms"), ("CPU time", 2, "ms"),
                       ("peak memory", 3, "MB"), ("peak Pss", 4, "MB")):
    q, c = med("quorvel", k), med("chromium", k)
    print(f"  {label:<12} quorvel {q:8.1f} {unit}   chromium {c:8.1f} {unit}   ratio {q / c:.2f}")
PY
}

make_authority
for protocol in $protocols; do
  rm -rf "$work/site"
  python3 perf/browser_lab/make_site.py "$work/site" "$protocol"
  write_nginx_conf
  page="$protocol://www.lab.test/index.html"
  for shape in $shapes; do
    rtt=${shape%%:*} rate=${shape##*:}
    start_lab "$rtt" "$rate"
    : >"$work/figures"
    for n in $(seq "$runs"); do
      run_quorvel "$page" "$n"
      run_chromium "$page" "$n"
    done
    [ "$protocol" = http ] && name="HTTP/1.1" || name="HTTP/2 over TLS"
    echo "bench-browser: $name, $rtt ms round trip, $rate Mbit/s, medians of $runs runs each"
    print_figures
    stop_lab
  done
done
