#!/usr/bin/env bash
# The lab bus end to end: METERS simulated meters at the line's top rate (a frame every 18 ms,
# "Repeat" on: every frame a row) in one lumetra-record publishing to a mosquitto on loopback
# for SECONDS, one central lumetra-record --from-mqtt writing a file per meter, and beside it a
# mosquitto_sub that stamps each reading's arrival, for the delay.
#   bench/lab-load.sh [METERS [SECONDS]]      (defaults 50 and 60; build/default must be built)
# Prints rows recorded and delivered per meter (they must match), duplicates, delay median and
# 99th percentile from a reading's time to its arrival, and CPU per meter.
set -euo pipefail
cd "$(dirname "$0")/.."
meters="${1:-50}"
seconds="${2:-60}"
bin="$PWD/build/default/bin"
work="$(mktemp -d)"
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_STATE_HOME="$work/state" QT_QPA_PLATFORM=offscreen

port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
cat >"$work/mosquitto.conf" <<CONF
user $(id -un)
persistence true
persistence_location $work/
listener $port 127.0.0.1
allow_anonymous true
max_queued_messages 0
CONF
mosquitto -c "$work/mosquitto.conf" >"$work/mosquitto.log" 2>&1 &
broker=$!
for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done

url="mqtt://127.0.0.1:$port/lab"
mkdir -p "$work/central" "$work/meters"
(cd "$work/central" && exec "$bin/lumetra-record" --from-mqtt "$url/#" --output 'c-%s.txt' --quiet) &
central=$!
mosquitto_sub -p "$port" -t 'lab/+/reading' -q 1 -F '%U %p' >"$work/arrivals.txt" &
sub=$!
sleep 2

sims=()
for _ in $(seq "$meters"); do sims+=(--simulate); done
start_cpu() { awk '{print $14+$15}' "/proc/$1/stat"; }
(cd "$work/meters" && LUMETRA_SIM_BRIDGES="$meters" LUMETRA_SIM_FRAME_MS=18 \
    exec "$bin/lumetra-record" "${sims[@]}" --duration "$seconds" --mqtt "$url" \
    --output 'm-%s.txt' --quiet) &
publisher=$!
sleep 1
peak_cpu=0
while kill -0 "$publisher" 2>/dev/null; do
    peak_cpu="$(start_cpu "$publisher" 2>/dev/null || echo "$peak_cpu")"
    sleep 1
done
wait "$publisher"
publisher_ticks="$peak_cpu"

recorded=$(cat "$work"/meters/m-*.txt | grep -c '^[0-9]')
# The central files catch up; then it is stopped as a user would (Ctrl+C).
for _ in $(seq 120); do
    delivered=$(cat "$work"/central/c-*.txt 2>/dev/null | grep -c '^[0-9]' || true)
    [ "$delivered" -ge "$recorded" ] && break
    sleep 1
done
kill -INT "$central"; wait "$central" || true
kill "$sub" 2>/dev/null || true
delivered=$(cat "$work"/central/c-*.txt | grep -c '^[0-9]')
same=0
for f in "$work"/meters/m-*.txt; do
    c="$work/central/c-${f##*/m-}"
    cmp -s <(cut -f1,3- "$f" | tail -n +2) <(cut -f1,3- "$c" | tail -n +2) && same=$((same + 1))
done
broker_ticks=$(start_cpu "$broker")
python3 - "$work/arrivals.txt" "$recorded" "$delivered" "$same" "$meters" "$seconds" \
    "$publisher_ticks" "$broker_ticks" "$(getconf CLK_TCK)" <<'PY'
import json, sys, datetime
path, recorded, delivered, same, meters, seconds, pub, brk, tck = sys.argv[1:]
delays = []
for line in open(path):
    stamp, _, payload = line.partition(' ')
    try:
        t = datetime.datetime.fromisoformat(json.loads(payload)['time']).timestamp()
    except Exception:
        continue
    delays.append((float(stamp) - t) * 1000)
delays.sort()
pick = lambda q: delays[min(len(delays) - 1, int(len(delays) * q))] if delays else float('nan')
print(f"meters {meters}, {seconds} s: recorded {recorded}, in the central files {delivered}, "
      f"files equal {same} of {meters}")
print(f"delay to arrival: median {pick(0.5):.0f} ms, p99 {pick(0.99):.0f} ms, max {pick(1):.0f} ms "
      f"({len(delays)} readings)")
cpu = int(pub) / int(tck)
print(f"publisher CPU {cpu:.1f} s = {100 * cpu / int(seconds) / int(meters):.2f} % of a core a meter; "
      f"broker CPU {int(brk) / int(tck):.1f} s")
PY
