#!/usr/bin/env bash
# Runs a command with DISPLAY set to a private Xvfb server that lives only as
# long as the command. The server picks a free display number itself, so
# several of these can run side by side.
set -euo pipefail

state=$(mktemp -d)
trap 'rm -rf "$state"' EXIT
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$state/display" 2>"$state/log" &
server=$!
for _ in $(seq 100); do
  [[ -s "$state/display" ]] && break
  kill -0 "$server" 2>/dev/null || { cat "$state/log" >&2; exit 1; }
  sleep 0.1
done
[[ -s "$state/display" ]] || { echo "Xvfb did not start" >&2; kill "$server"; exit 1; }
export DISPLAY=":$(head -n1 "$state/display")"

status=0
"$@" || status=$?
kill "$server" 2>/dev/null || true
wait "$server" 2>/dev/null || true
exit "$status"
