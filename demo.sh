#!/usr/bin/env bash
# The built-in demo: a week of simulated solar-outage logs, then tidelog sampling a simulated
# receiver into the same folder and dipview plotting the week. Everything happens in a
# throw-away settings and log folder; the user's own settings and logs stay untouched.
# Usage: demo.sh BINDIR (dev.sh demo passes it).
set -euo pipefail
bindir=$(cd "${1:-build/bin}" && pwd)
demo=$(mktemp -d "${TMPDIR:-/tmp}/tidelog-demo-XXXXXX")
mkdir -p "$demo/config/Software/Marrowby" "$demo/logs"
mkdir -m 700 "$demo/runtime"

# A week of past days, sampled every 10 s from 10:45 to 11:15 UTC by the simulated receiver,
# written as tidelog writes them; the middle day carries a predicted time.
for back in 7 6 5 4 3 2 1; do
  day=$(date -u -d "-$back day" +%Y-%m-%d)
  file="$demo/logs/snr-log-$day.log"
  for ((second = 38700; second <= 40500; second += 10)); do
    time=$(printf '%02d:%02d:%02d' $((second / 3600)) $((second / 60 % 60)) $((second % 60)))
    tenths=$(BEAMGAUGE_SIMULATE=1 BEAMGAUGE_TIME="${day}T$time" "$bindir/beamgauge" snr)
    printf '%s %s %d.%d\r\n' "${day//-//}" "$time" $((tenths / 10)) $((tenths % 10)) >> "$file"
  done
  [ "$back" -eq 4 ] && printf '%s 11:03:30 PRED\r\n' "${day//-//}" >> "$file"
done

# tidelog: Start 00:00:00, Stop 23:59:59 (date-times as 8 little-endian bytes), a sample every
# 2 seconds, its window placed beside dipview's.
cat > "$demo/config/Software/Marrowby/tidelog.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Marrowby\tidelog]
"Start"=hex:00,00,00,00,00,00,00,00
"Stop"=hex:32,5f,37,ba,e7,ff,ef,3f
"Interval"=dword:00000002
"FormLeft"=dword:000002e4
"FormTop"=dword:00000000
REG

export XDG_CONFIG_HOME="$demo/config"
export XDG_RUNTIME_DIR="$demo/runtime"
export BEAMGAUGE_SIMULATE=1
export BEAMGAUGE_DIP_CENTRE=$(date -u -d '+1 minute' +%H:%M)
cd "$demo/logs"
echo "Demo folder: $demo (settings in config/, daily logs in logs/)"
echo "tidelog samples a simulated receiver every 2 s (today's dip centred at $BEAMGAUGE_DIP_CENTRE UTC);"
echo "dipview plots the last seven days between 10:45 and 11:15 UTC."

run_both() {
  "$bindir/tidelog" & local tidelog=$!
  "$bindir/dipview" & local dipview=$!
  wait "$dipview" || true
  kill -TERM "$tidelog" 2>/dev/null || true
  wait "$tidelog" || true
}

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Close dipview to end the demo."
  run_both
else
  # No display: run on a virtual one for a while, keep a screenshot, then ask both programs to
  # end as the system would, so they store their settings.
  echo "No display: running both for 15 s on a virtual display."
  xvfb-run -a -s "-screen 0 1060x560x24" bash -c '
    "$0/tidelog" & t=$!
    "$0/dipview" & d=$!
    sleep 15
    if command -v import >/dev/null; then import -window root "$1/screenshot.png"; fi
    kill -TERM $t $d; wait $t $d' "$bindir" "$demo" || true
  [ -f "$demo/screenshot.png" ] && echo "Screenshot: $demo/screenshot.png"
fi
echo "Samples tidelog logged today:"
cat "$demo/logs/snr-log-$(date -u +%Y-%m-%d).log" 2>/dev/null || echo "(none)"
