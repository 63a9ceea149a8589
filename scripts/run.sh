#!/usr/bin/env bash
# The main job: installs what is missing, builds, serves the bundled sample site (sample/site)
# on 127.0.0.1, and runs an unattended page benchmark of it ("quorvel auto") in a fresh
# application folder. Prints a line per step, then the run's summary line and where its logs
# are; the full output of every step is kept in a log file.
#
# Environment: QUORVEL_BUILD_DIR (default build), QUORVEL_HOME (default: a new folder under
# /tmp; its URLS.DAT is replaced), QUORVEL_PROGRAM (the program to run, default the build's
# quorvel), QUORVEL_LOG_DIR (default <build folder>/logs).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
source scripts/steps.sh
step "Installing what is missing" install bash scripts/install-deps.sh
step "Building" build bash scripts/build.sh
build_dir=${QUORVEL_BUILD_DIR:-build}
case "$build_dir" in /*) ;; *) build_dir="$repo/$build_dir" ;; esac
program=${QUORVEL_PROGRAM:-$build_dir/quorvel}

if [ ! -x "$build_dir/quorvel_sample_server" ]; then
  echo "run: $build_dir/quorvel_sample_server is missing (it is built with QUORVEL_BUILD_TESTS=ON)" >&2
  exit 1
fi

home=${QUORVEL_HOME:-$(mktemp -d "${TMPDIR:-/tmp}/quorvel-run.XXXXXX")}
mkdir -p "$home"
home=$(cd "$home" && pwd)

server_out="$quorvel_log_dir/sample-server.log"
"$build_dir/quorvel_sample_server" "$repo/sample/site" --max-seconds 900 >"$server_out" 2>&1 &
server_pid=$!
stop_server() {
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
}
trap stop_server EXIT

port=""
for _ in $(seq 1 200); do
  port=$(sed -n 's/^PORT \([0-9][0-9]*\)$/\1/p' "$server_out")
  [ -n "$port" ] && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.05
done
if [ -z "$port" ]; then
  echo "run: the sample server did not start; see $server_out" >&2
  exit 1
fi

site="127.0.0.1:$port"
cat >"$home/URLS.DAT" <<URLS
; The bundled sample site, served on this machine by scripts/run.sh.
http://$site/index.htm
$site/news.htm
http://$site/old-page.htm
URLS
echo "Serving the sample site on http://$site/"

# Unattended: the program logs the run, prints its summary line and ends by itself.
run_auto() {
  cd "$home" && QUORVEL_HOME="$home" QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
    timeout 600 "$program" auto
}
step "Running \"quorvel auto\" in $home" quorvel-auto run_auto

summary=""
[ -f "$home/QVSum.log" ] && summary=$(tail -n 1 "$home/QVSum.log" | tr -d '\r')
if [ -z "$summary" ]; then
  echo "run: the benchmark wrote no summary line; see $home" >&2
  exit 1
fi
echo
echo "Summary line: $summary"
echo "Logs:"
for f in QuorvelLog.txt QVSum.log QVURL.log; do
  [ -f "$home/$f" ] && echo "  $home/$f"
done
exit 0
