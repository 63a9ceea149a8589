#!/usr/bin/env bash
# Compares what Quorvel finds that a browser fetches with a page (bench/page_requisites.h, through
# build/perf/page_requisites) with the requests headless Chromium makes for the same page, for
# the pages of perf/requisite_pages (every folder with an index.html, unseen/ ones included, or
# the page folders given), served on loopback only; then loads each page with
# `quorvel bench --browser` and checks what it fetched.
#
#   scripts/requisites-compare.sh [page-folder...]     e.g. scripts/requisites-compare.sh news unseen/docs
#
# For each page it prints the files both list, those only Chromium requested and those only
# Quorvel lists, then the totals: how many of Chromium's requests Quorvel's list holds, how
# many files Quorvel lists that Chromium did not request, how many requests the browser-mode
# run made to a URL its page does not name (not in Quorvel's list), and how many answers of
# status 400 or more that run counted as a success. Chromium runs with a fresh profile and a
# 1366x768 window, and its network log (--log-net-log) gives its requests to the lab's server
# (its own background requests, which fail here, are left out).
#
# The server answers on port 8040 of 127.0.0.1 under several host names (a hosts file of the
# lab's own, seen only inside its namespace): the unseen pages name files on
# www.quorvel-lab.test, static.quorvel-lab.test, video.quorvel-lab.test, img.quorvel-cdn.test,
# fonts.quorvel-cdn.test and ads.quorvel-cdn.test, every one the same folder.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/headless-chromium.sh
# Chromium, Quorvel and the server run in a network namespace of their own with loopback alone,
# so that nothing the browser would send elsewhere (its update and account checks) leaves the
# machine; and in a mount namespace of their own, where the lab's hosts file is /etc/hosts.
lab_hosts="www.quorvel-lab.test static.quorvel-lab.test video.quorvel-lab.test img.quorvel-cdn.test fonts.quorvel-cdn.test ads.quorvel-cdn.test"
if [ -z "${QUORVEL_IN_NETNS:-}" ]; then
  [ "$(id -u)" -eq 0 ] || { echo "requisites-compare: run as root (it makes a network namespace)" >&2; exit 1; }
  exec unshare --net --mount env QUORVEL_IN_NETNS=1 bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi
build_dir=${QUORVEL_BUILD_DIR:-build}
root=perf/requisite_pages
command -v chromium >/dev/null || { echo "requisites-compare: chromium is needed" >&2; exit 1; }
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build_dir" -j2 --target page_requisites quorvel >/dev/null

pages=("$@")
if [ ${#pages[@]} -eq 0 ]; then
  for index in "$root"/*/index.html "$root"/*/*/index.html; do
    [ -f "$index" ] || continue
    page=${index#"$root"/}
    pages+=("${page%/index.html}")
  done
fi

work=$(mktemp -d)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

{ echo "127.0.0.1 localhost"; for h in $lab_hosts; do echo "127.0.0.1 $h"; done; } >"$work/hosts"
mount --bind "$work/hosts" /etc/hosts

port=8040  # the namespace is new: nothing else listens there
python3 -u -m http.server "$port" --bind 127.0.0.1 --directory "$root" >"$work/server.log" 2>&1 &
server_pid=$!
started=""
for _ in $(seq 1 50); do
  grep -q "port $port" "$work/server.log" && { started=1; break; }
  sleep 0.1
done
[ -n "$started" ] || { echo "requisites-compare: the loopback server did not start" >&2; exit 1; }

for page in "${pages[@]}"; do
  url="http://www.quorvel-lab.test:$port/$page/index.html"
  name=${page//\//_}
  profile=$(mktemp -d "$work/profile.XXXXXX")
  timeout 60 "${headless_chromium[@]}" --user-data-dir="$profile" --window-size=1366,768 \
    --log-net-log="$work/$name.netlog.json" \
    --virtual-time-budget=5000 --dump-dom "$url" >/dev/null 2>"$work/$name.chromium.log" || true
  "$build_dir/perf/page_requisites" "$url" "$root" >"$work/$name.quorvel.txt"
  home=$(mktemp -d "$work/home.XXXXXX")
  QUORVEL_HOME=$home QT_QPA_PLATFORM=offscreen timeout 120 "$build_dir/quorvel" bench --browser \
    --no-log --json "$url" >"$work/$name.run.json" 2>"$work/$name.run.log" || true
done

python3 - "$work" "$port" "$lab_hosts" "${pages[@]}" <<'EOF'
import json, sys
from urllib.parse import urlsplit

work, port, hosts, pages = sys.argv[1], sys.argv[2], sys.argv[3].split(), sys.argv[4:]
origin = f"http://www.quorvel-lab.test:{port}"
lab = {"127.0.0.1"} | set(hosts)
total_chromium = total_both = total_extra = total_unnamed = total_false_success = 0


def in_lab(url):
    parts = urlsplit(url)
    return parts.scheme == "http" and parts.hostname in lab and parts.port == int(port)


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
            if in_lab(url) and url not in urls:
                urls.append(url)
    return urls


def run_requests(path):
    try:
        with open(path) as f:
            return json.load(f).get("requests", [])
    except (OSError, ValueError):
        return []


for page in pages:
    name = page.replace("/", "_")
    page_url = f"{origin}/{page}/index.html"
    chromium = [u for u in chromium_requests(f"{work}/{name}.netlog.json") if u != page_url]
    quorvel = {}
    notes = ""
    with open(f"{work}/{name}.quorvel.txt") as f:
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
    # The browser-mode run: every request to a URL of the list, every error answer an error.
    run = run_requests(f"{work}/{name}.run.json")
    unnamed = [r["url"] for r in run if r["url"] != page_url and r["url"] not in quorvel]
    false_success = [r["url"] for r in run
                     if r.get("http", {}).get("status", 0) >= 400 and r.get("error", 0) == 0]
    failed = sum(1 for r in run if r.get("error", 0) != 0)
    print(f"  run: {len(run)} requests, {failed} failed, {len(unnamed)} to a URL the page does "
          f"not name, {len(false_success)} error answers counted as a success")
    for u in unnamed:
        print(f"  not named      {'':<10} {short(u)}")
    for u in false_success:
        print(f"  error counted as a success {short(u)}")
    total_chromium += len(chromium)
    total_both += len(both)
    total_extra += len(only_quorvel)
    total_unnamed += len(unnamed)
    total_false_success += len(false_success)

share = 100.0 * total_both / total_chromium if total_chromium else 0.0
print(f"total: Quorvel lists {total_both} of Chromium's {total_chromium} requests "
      f"({share:.0f}%), and {total_extra} files Chromium did not request; the browser-mode runs "
      f"made {total_unnamed} requests to a URL the page does not name and counted "
      f"{total_false_success} error answers as a success")
EOF
