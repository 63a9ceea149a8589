# Sourced by the scripts that set Quorvel beside headless Chromium: Debian's chromium as they
# all run it, without a display, a sandbox (they run as root), QUIC, first-run pages or the
# browser's own background traffic (updates, components, sync). Each adds its profile folder
# (--user-data-dir) and what it asks of the page.
# shellcheck shell=bash
headless_chromium=(chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run
  --disable-background-networking --disable-component-update --disable-sync)
