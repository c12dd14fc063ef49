#!/usr/bin/env bash
# Starts tidelog on a simulated receiver, in a throw-away settings and log folder, with the
# daily window covering the whole day and the simulated dip centred a minute from now. The
# user's own settings and logs stay untouched. Usage: demo.sh BINDIR (dev.sh demo passes it).
set -euo pipefail
bindir=$(cd "${1:-build/bin}" && pwd)
demo=$(mktemp -d "${TMPDIR:-/tmp}/tidelog-demo-XXXXXX")
mkdir -p "$demo/config/Software/Marrowby" "$demo/logs"

# Settings: Start 00:00:00, Stop 23:59:59 (date-times as 8 little-endian bytes), a sample every
# 2 seconds.
cat > "$demo/config/Software/Marrowby/tidelog.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Marrowby\tidelog]
"Start"=hex:00,00,00,00,00,00,00,00
"Stop"=hex:32,5f,37,ba,e7,ff,ef,3f
"Interval"=dword:00000002
REG

export XDG_CONFIG_HOME="$demo/config"
export XDG_RUNTIME_DIR="$demo/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export BEAMGAUGE_SIMULATE=1
export BEAMGAUGE_DIP_CENTRE=$(date -u -d '+1 minute' +%H:%M)
cd "$demo/logs"
echo "Demo folder: $demo (settings in config/, daily logs in logs/)"
echo "Simulated dip centred at $BEAMGAUGE_DIP_CENTRE UTC."

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$bindir/tidelog"
else
  # No display: run on a virtual one for a while, keep a screenshot, then ask the program to
  # end as the system would, so it stores its settings.
  echo "No display: running tidelog for 15 s on a virtual display."
  xvfb-run -a -s "-screen 0 640x480x24" bash -c '
    "$0/tidelog" & pid=$!
    sleep 15
    if command -v import >/dev/null; then import -window root "$1/screenshot.png"; fi
    kill -TERM $pid; wait $pid' "$bindir" "$demo"
  [ -f "$demo/screenshot.png" ] && echo "Screenshot: $demo/screenshot.png"
fi
echo "Samples logged:"
cat "$demo"/logs/snr-log-*.log 2>/dev/null || echo "(none)"
