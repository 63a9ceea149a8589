#!/usr/bin/env bash
# Compares what Quorvel finds that a browser fetches with a page (bench/page_requisites.h, through
# build/perf/page_requisites) with the requests headless Chromium makes for the same page, for
# the pages of perf/requisite_pages (or the page folders given), served on loopback only.
#
#   scripts/requisites-compare.sh [page-folder...]     e.g. scripts/requisites-compare.sh news
#
# For each page it prints the files both list, those only Chromium requested and those only
# Quorvel lists, then the totals: how many of Chromium's requests Quorvel's list holds, and how
# many files Quorvel lists that Chromium did not request. Chromium runs with a fresh profile and
# a 1366x768 window, and its network log (--log-net-log) gives its requests to the page's
# server (its own background requests, which fail here, are left out).
set -euo pipefail
cd "$(dirname "$0")/.."
# Chromium and the server run in a network namespace of their own with loopback alone, so that
# nothing the browser would send elsewhere (its update and account checks) leaves the machine.
if [ -z "${QUORVEL_IN_NETNS:-}" ]; then
  [ "$(id -u)" -eq 0 ] || { echo "requisites-compare: run as root (it makes a network namespace)" >&2; exit 1; }
  exec unshare --net env QUORVEL_IN_NETNS=1 bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi
build_dir=${QUORVEL_BUILD_DIR:-build}
root=perf/requisite_pages
command -v chromium >/dev/null || { echo "requisites-compare: chromium is needed" >&2; exit 1; }
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build_dir" --target page_requisites >/dev/null

pages=("$@")
if [ ${#pages[@]} -eq 0 ]; then
  for dir in "$root"/*/; do pages+=("$(basename "$dir")"); done
fi

work=$(mktemp -d)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$root" >"$work/server.log" 2>&1 &
server_pid=$!
port=""
for _ in $(seq 1 50); do
  port=$(grep -o 'port [0-9]*' "$work/server.log" | grep -o '[0-9]*' || true)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "requisites-compare: the loopback server did not start" >&2; exit 1; }

for page in "${pages[@]}"; do
  url="http://127.0.0.1:$port/$page/index.html"
  profile=$(mktemp -d "$work/profile.XXXXXX")
  timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --window-size=1366,768 --log-net-log="$work/$page.netlog.json" \
    --virtual-time-budget=5000 --dump-dom "$url" >/dev/null 2>"$work/$page.chromium.log" || true
  "$build_dir/perf/page_requisites" "$url" "$root" >"$work/$page.quorvel.txt"
done

python3 - "$work" "$port" "${pages[@]}" <<'EOF'
import json, sys

work, port, pages = sys.argv[1], sys.argv[2], sys.argv[3:]
origin = f"http://127.0.0.1:{port}"
total_chromium = total_both = total_extra = 0


def chromium_requests(path):
    try:
        with open(path) as f:
            text = f.read()
    except OSError:
        return []
    try:
        log = json.loads(text)
    except ValueError:  # a log cut short: close its list of events
        log = json.loads(text.rstrip().rstrip(",") + "]}")
    start = log["constants"]["logEventTypes"]["URL_REQUEST_START_JOB"]
    urls = []
    for event in log.get("events", []):
        if event.get("type") == start and event.get("phase") == 1:
            url = event.get("params", {}).get("url", "")
            url = url.split("#")[0]
            if url.startswith(origin + "/") and url not in urls:
                urls.append(url)
    return urls


for page in pages:
    page_url = f"{origin}/{page}/index.html"
    chromium = [u for u in chromium_requests(f"{work}/{page}.netlog.json") if u != page_url]
    quorvel = {}
    notes = ""
    with open(f"{work}/{page}.quorvel.txt") as f:
        for line in f:
            if line.startswith("#"):
                notes = line[1:].strip()
                continue
            kind, url = line.rstrip("\n").split("\t")
            if url != page_url:
                quorvel[url] = kind
    both = [u for u in chromium if u in quorvel]
    only_chromium = [u for u in chromium if u not in quorvel]
    only_quorvel = [u for u in quorvel if u not in chromium]
    print(f"{page}: Chromium {len(chromium)} requests, Quorvel {len(quorvel)} files, "
          f"{len(both)} in both ({notes})")
    short = lambda u: u.replace(origin, "")
    for u in both:
        print(f"  both           {quorvel[u]:<10} {short(u)}")
    for u in only_chromium:
        print(f"  only Chromium  {'':<10} {short(u)}")
    for u in only_quorvel:
        print(f"  only Quorvel   {quorvel[u]:<10} {short(u)}")
    total_chromium += len(chromium)
    total_both += len(both)
    total_extra += len(only_quorvel)

share = 100.0 * total_both / total_chromium if total_chromium else 0.0
print(f"total: Quorvel lists {total_both} of Chromium's {total_chromium} requests "
      f"({share:.0f}%), and {total_extra} files Chromium did not request")
EOF
