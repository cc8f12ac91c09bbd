#!/usr/bin/env bash
# Runs a command with DISPLAY pointing at a private Xvfb server, then stops it.
# Xvfb picks a free display number itself (-displayfd). When Xvfb cannot start,
# says so once and runs the command without a display (the display tests skip).
#   scripts/with-xvfb.sh COMMAND [ARG...]
set -uo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 COMMAND [ARG...]" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/xvfb.XXXXXX")
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

display=""
reason="Xvfb is not installed"
if command -v Xvfb >/dev/null 2>&1; then
  # A 24-bit screen; the composite extension adds the 32-bit visual that layered windows use.
  # -noreset: the server would otherwise reset, refusing connections, whenever its last client leaves.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset +extension Composite \
    3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  reason="Xvfb did not start"
  for _ in $(seq 1 100); do
    if [ -s "$work/display" ]; then
      display=":$(tr -d '[:space:]' <"$work/display")"
      break
    fi
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
      wait "$xvfb_pid" 2>/dev/null
      xvfb_pid=""
      reason="Xvfb did not start: $(tail -n 1 "$work/xvfb.log" 2>/dev/null)"
      break
    fi
    sleep 0.1
  done
fi

if [ -n "$display" ]; then
  DISPLAY="$display" "$@"
else
  echo "display tests skipped: $reason"
  env -u DISPLAY "$@"
fi
