#!/usr/bin/env bash
# Builds the Debian package and checks it the way a user gets it:
#   - lintian on the package (errors and warnings fail; what remains is printed);
#   - `cmake --install` into a staging folder, with desktop-file-validate, appstreamcli validate
#     and man's own warnings on what it installs;
#   - `apt-get install ./quorvel_<version>_amd64.deb`, then `quorvel --version`, `man -w quorvel`
#     and `quorvel bench` of the sample site on loopback from the installed program, whose files
#     must land in the user's data folder; then `apt-get remove` leaves nothing behind.
# Needs root (or sudo) for the install; otherwise says so and stops after the static checks.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
build_dir=${QUORVEL_BUILD_DIR:-build}
case "$build_dir" in /*) ;; *) build_dir="$repo/$build_dir" ;; esac
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo

work=$(mktemp -d /tmp/quorvel-package.XXXXXX)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

cmake --build "$build_dir" >/dev/null
(cd "$build_dir" && rm -f quorvel_*.deb && cpack -G DEB >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$build_dir"/quorvel_*_amd64.deb)
echo "package: $deb"
dpkg-deb -f "$deb" Depends | sed 's/^/  depends: /'

echo "lintian:"
lintian --allow-root --pedantic --display-info "$deb" >"$work/lintian.txt" 2>&1 || true
sed 's/^/  /' "$work/lintian.txt"
if grep -q '^[EW]:' "$work/lintian.txt"; then
  echo "package-test: lintian reports errors or warnings" >&2
  exit 1
fi

stage="$work/stage"
cmake --install "$build_dir" --prefix "$stage/usr" >/dev/null
for f in bin/quorvel share/applications/quorvel.desktop \
  share/icons/hicolor/scalable/apps/quorvel.svg \
  share/metainfo/example.quorvel.Quorvel.metainfo.xml share/man/man1/quorvel.1.gz \
  share/doc/quorvel/copyright; do
  [ -e "$stage/usr/$f" ] || { echo "package-test: cmake --install did not install $f" >&2; exit 1; }
done
echo "desktop-file-validate:"
desktop-file-validate "$stage/usr/share/applications/quorvel.desktop" && echo "  no findings"
echo "appstreamcli validate:"
appstreamcli validate --no-net "$stage/usr/share/metainfo/example.quorvel.Quorvel.metainfo.xml" |
  sed 's/^/  /'
echo "man warnings:"
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
  "$stage/usr/share/man/man1/quorvel.1.gz" 2>&1 >/dev/null || true)
if [ -n "$warnings" ]; then
  echo "$warnings" | sed 's/^/  /'
  echo "package-test: the manual page has warnings" >&2
  exit 1
fi
echo "  none"

if [ -n "$SUDO" ] && ! sudo -n true 2>/dev/null; then
  echo "package-test: installing the package needs root or sudo; skipped"
  exit 0
fi

echo "apt-get install $deb"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; exit 1; }
remove() { $SUDO env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq quorvel >/dev/null 2>&1 || true; }
trap 'remove; cleanup' EXIT
[ "$(command -v quorvel)" = /usr/bin/quorvel ] || { echo "package-test: no /usr/bin/quorvel" >&2; exit 1; }
echo "  $(/usr/bin/quorvel --version)"
echo "  man -w quorvel: $(man -w quorvel)"

"$build_dir/quorvel_sample_server" "$repo/sample/site" --max-seconds 120 >"$work/server.txt" 2>&1 &
server_pid=$!
port=""
for _ in $(seq 1 200); do
  port=$(sed -n 's/^PORT \([0-9][0-9]*\)$/\1/p' "$work/server.txt")
  [ -n "$port" ] && break
  sleep 0.05
done
[ -n "$port" ] || { echo "package-test: the sample server did not start" >&2; exit 1; }
home="$work/home"
mkdir -p "$home"
# As a user would run it: no QUORVEL_HOME, no display.
out=$(cd "$home" && env -u QUORVEL_HOME -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  HOME="$home" XDG_DATA_HOME="" /usr/bin/quorvel bench "http://127.0.0.1:$port/index.htm")
echo "$out" | sed 's/^/  /'
data="$home/.local/share/Quorvel"
[ -s "$data/QVSum.log" ] || { echo "package-test: no QVSum.log in $data" >&2; exit 1; }
[ ! -e /usr/bin/QVSum.log ] || { echo "package-test: logs were written beside the program" >&2; exit 1; }
echo "  the logs are in the user's data folder: $data"

remove
trap cleanup EXIT
[ ! -e /usr/bin/quorvel ] || { echo "package-test: apt-get remove left /usr/bin/quorvel" >&2; exit 1; }
echo "apt-get remove quorvel: nothing left"
