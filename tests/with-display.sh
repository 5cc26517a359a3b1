#!/bin/sh
# Runs a test program on the current X display, or on a private virtual one when there is none.
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1920x1080x24" "$@"
