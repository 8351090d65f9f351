#!/usr/bin/env bash
# make demo: the bridges at work without a simulator. A stand-in Flight
# Simulator X loads the real kestrel.dll and flies a scripted flight along
# the route of plans/KSEA-KOLM.pln, which it activates; the monitor runs in
# processes of its own beside it, once as the live view on this terminal and
# once as JSON lines that this script checks. Then the same for
# harrier_link.dll in the stand-in Flight Simulator 2004, when both are
# built. Ends with a summary of what a reader saw; exits 0 only when the
# reader saw what was sent.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
bin=$build/bin
out=$build/demo
state=$out/wine # the demo's own Wine prefix, wineserver and display

frames=${DEMO_FRAMES:-600}
fps=${DEMO_FPS:-30}
rate=${DEMO_RATE:-36}
hold_ms=2500
json_interval=100

if [ -t 1 ]; then live_interval=250; else live_interval=4000; fi

for need in "$bin/kestrel.dll" "$bin/monitor.exe" "$bin/demo_fsx_flight.exe" "$bin/plans/KSEA-KOLM.pln"; do
  if [ ! -f "$need" ]; then
    echo "demo: $need is missing; run 'make demo' (it builds first)" >&2
    exit 2
  fi
done
command -v jq >/dev/null || { echo "demo: jq is missing (scripts/install-deps.sh installs it)" >&2; exit 2; }

mkdir -p "$out"
export KESTREL_WINE_STATE=$state
wine_run() { "$root/cmake/wine-run.sh" "$@"; }
"$root/cmake/wine-session.sh" start "$state"
trap '"$root/cmake/wine-session.sh" stop "$state"' EXIT

# watch_flight NAME SECONDS HOST [ARGS...]: runs the host with both
# monitors beside it. Leaves NAME-host.log (the host's output, its last
# line a JSON summary of what it sent) and NAME.jsonl (what the reader saw).
watch_flight() {
  local name=$1 seconds=$2
  shift 2
  local jsonl=$out/$name.jsonl log=$out/$name-host.log
  rm -f "$jsonl" "$log"
  # Upper bounds only, in case the host never starts: the monitors end
  # once the sections have come and gone.
  local json_count=$(((seconds + 60) * 1000 / json_interval))
  local live_count=$(((seconds + 60) * 1000 / live_interval))
  wine_run "$bin/monitor.exe" --json --interval $json_interval --until-gone --count $json_count >"$jsonl" 2>/dev/null &
  local json_pid=$!
  # The flight starts once that reader is up.
  for _ in $(seq 600); do [ -s "$jsonl" ] && break; sleep 0.1; done
  wine_run "$bin/monitor.exe" --interval $live_interval --until-gone --count $live_count &
  local live_pid=$!
  wine_run "$@" >"$log" 2>&1
  local host_status=$?
  wait "$json_pid" "$live_pid"
  return $host_status
}

# check_flight NAME SECTION RECORD FIELDS...: compares the host's last sent
# values with the reader's last sample of SECTION; prints one summary line.
check_flight() {
  local name=$1 section=$2 record=$3
  shift 3
  local fields
  fields=$(printf '"%s",' "$@")
  fields="[${fields%,}]"
  local sent seen
  sent=$(grep '^{' "$out/$name-host.log" | tail -n 1)
  seen=$(jq -c --arg s "$section" 'select(.[$s].status == "ok")' "$out/$name.jsonl" | tail -n 1)
  if [ -z "$sent" ] || [ -z "$seen" ]; then
    printf '  %-18s %s\n' "final position" "MISSING: the reader never read $section"
    return 1
  fi
  local changes top
  changes=$(jq -r --arg s "$section" '.[$s].changes' <<<"$seen")
  top=$(jq -s --arg s "$section" '[.[] | .[$s].rate // empty] | max // 0' "$out/$name.jsonl")
  printf '  %-18s %s sent; the reader saw %s changes of %s, up to %s a second\n' "frames published" \
    "$(jq -r '.frames // .ticks' <<<"$sent")" "$changes" "$section" "$top"
  local verdict
  verdict=$(jq -n -r --argjson sent "$sent" --argjson seen "$seen" --arg s "$section" --arg r "$record" \
    --argjson fields "$fields" '
      ($sent.final) as $f | ($seen[$s][$r]) as $g |
      [$fields[] | select($g[.] != $f[.])] as $bad |
      (if ($bad | length) == 0 then "matches what was sent"
       else "MISMATCH in " + ($bad | join(", ")) end) as $v |
      "\($g.altitude * 10 | round / 10) ft  \($g.latitude * 1e6 | round / 1e6) \($g.longitude * 1e6 | round / 1e6)  heading \($g.heading * 10 | round / 10)  \($g.groundSpeed * 10 | round / 10) kt  \($g.time)   \($v)"')
  printf '  %-18s %s\n' "final position" "$verdict"
  [[ $verdict == *"matches what was sent" ]]
}

# check_plan NAME: the reader's waypoints against the shipped plan's, as the
# host lists them: every identifier and every position, to the last bit.
check_plan() {
  local name=$1
  local sent seen
  sent=$(grep '^{' "$out/$name-host.log" | tail -n 1)
  seen=$(jq -c 'select(.KESTREL_PLAN.status == "ok")' "$out/$name.jsonl" | tail -n 1)
  local verdict
  verdict=$(jq -n -r --argjson sent "${sent:-null}" --argjson seen "${seen:-null}" '
    ($sent.plan // []) as $e | ($seen.KESTREL_PLAN.plan // {count: 0, active: 0, waypoints: []}) as $p |
    ([$p.waypoints[] | .identifier] | join(" ")) as $ids |
    if $seen == null then "MISSING: the reader never read KESTREL_PLAN"
    elif $p.active != 1 then "MISMATCH: active is \($p.active), not 1"
    elif $p.count != ($e | length) then "\($p.count), expected \($e | length) (\([$e[] | .identifier] | join(" ")))  MISMATCH"
    elif ([range(0; $e | length) | . as $i | $p.waypoints[$i] as $w | $e[$i] as $x |
           select($w.identifier != $x.identifier or $w.latitude != $x.latitude or
                  $w.longitude != $x.longitude)] | length) > 0
    then "\($p.count): \($ids)  MISMATCH with the shipped plan"
    else "\($p.count): \($ids)   as in plans/KSEA-KOLM.pln" end')
  printf '  %-18s %s\n' "waypoints read" "$verdict"
  [[ $verdict == *"as in plans/KSEA-KOLM.pln" ]]
}

echo "== Flight Simulator X: kestrel.dll, a $frames-frame flight at $fps fps (time ${rate}x) from KSEA towards KOLM"
echo "   the monitor runs beside it in a process of its own; logs in ${out#$root/}/"
fsx_seconds=$((frames / fps + 5))
watch_flight fsx $fsx_seconds "$bin/demo_fsx_flight.exe" --frames "$frames" --fps "$fps" --rate "$rate" --hold $hold_ms
fsx_host=$?

# ---- Flight Simulator 2004 ----------------------------------------------------
# The stand-in FS2004 host beside harrier_link.dll: it loads the DLL as the
# simulator does (under the session's Xvfb display), opens its main window
# with a Modules menu, serves a scripted flight of fs2004_ticks sample ticks
# through its lookups, keeps the section up for a moment after the last
# tick, and ends with one JSON line {"ticks":N,"final":{...}} holding the
# LinkBlock fields it expects a reader to see last (those of fs2004_fields).
fs2004_host=$bin/demo_fs2004_flight.exe
fs2004_ticks=${DEMO_FS2004_TICKS:-150}
fs2004_args=(--ticks "$fs2004_ticks" --rate "$rate" --hold $hold_ms)
fs2004_seconds=$((fs2004_ticks / 10 + 15))
fs2004_fields=(altitude latitude longitude heading groundSpeed groundAltitude hour minute second
  clock2Hour clock2Minute clock2Second)
# ------------------------------------------------------------------------------

fs2004_ran=0
fs2004_host_status=0
if [ -f "$bin/harrier_link.dll" ] && [ -f "$fs2004_host" ]; then
  echo
  echo "== Flight Simulator 2004: harrier_link.dll in the stand-in host, $fs2004_ticks ticks of 100 ms (time ${rate}x)"
  watch_flight fs2004 $fs2004_seconds "$fs2004_host" "${fs2004_args[@]}"
  fs2004_host_status=$?
  fs2004_ran=1
fi

echo
echo "== What a reader saw"
ok=1
echo "Flight Simulator X (kestrel.dll: KESTREL_DATA, KESTREL_PLAN)"
check_flight fsx KESTREL_DATA state altitude latitude longitude heading groundSpeed groundAltitude hour minute second || ok=0
check_plan fsx || ok=0
[ $fsx_host -eq 0 ] || { echo "  the stand-in host reported a failure ($fsx_host): see ${out#$root/}/fsx-host.log"; ok=0; }
echo "Flight Simulator 2004 (harrier_link.dll: HARRIER_Link)"
if [ $fs2004_ran -eq 1 ]; then
  check_flight fs2004 HARRIER_Link link "${fs2004_fields[@]}" || ok=0
  [ $fs2004_host_status -eq 0 ] || { echo "  the stand-in host reported a failure ($fs2004_host_status)"; ok=0; }
else
  echo "  skipped: harrier_link.dll or its stand-in host ($(basename "$fs2004_host")) is not built"
fi
echo
if [ $ok -eq 1 ]; then
  echo "PASS: the reader saw what was sent"
  exit 0
fi
echo "FAIL: the reader did not see what was sent"
exit 1
