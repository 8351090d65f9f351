#!/usr/bin/env bash
# Runs the benchmark programs under Wine and gathers their figures:
#   run_bench.sh BUILD_DIR
# prints the table, writes BUILD_DIR/bench.json (one object, every key; a
# figure that could not be measured is null) and BUILD_DIR/bench.md (the
# table as it goes into the README).
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
state=$build/wine
raw=$build/bench.txt

"$root/cmake/wine-session.sh" start "$state"
trap '"$root/cmake/wine-session.sh" stop "$state"' EXIT

: >"$raw"
status=0
for program in bench_kestrel bench_plan bench_tick; do
  if [ ! -f "$build/bin/$program.exe" ]; then
    echo "NOTE $program: not built (its library is not part of this tree yet)" >>"$raw"
    continue
  fi
  echo "bench: running $program" >&2
  (cd "$build/bin" && KESTREL_WINE_STATE=$state "$root/cmake/wine-run.sh" "$program.exe") >>"$raw"
  rc=$?
  if [ $rc -ne 0 ]; then
    echo "NOTE $program: exited with $rc" >>"$raw"
    status=1
  fi
done

for dll in kestrel harrier_link; do
  if [ -f "$build/bin/$dll.dll" ]; then
    echo "FIGURE ${dll}_dll_bytes $(stat -c %s "$build/bin/$dll.dll")" >>"$raw"
  else
    echo "FIGURE ${dll}_dll_bytes null" >>"$raw"
    echo "NOTE ${dll}_dll_bytes: $dll.dll is not built" >>"$raw"
  fi
done

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
machine="$cpu, $(nproc) cores, Linux $(uname -r), $(wine --version 2>/dev/null)"
date=$(date -u +%Y-%m-%d)

# key | what | target (comparison and bound, or "-" for information)
table='frame_ratio|kestrel frame / two bare 64-byte publications|<=|1.10
frame_us|kestrel frame, microseconds|-|
tick_ratio|harrier_link `SampleTick` / one bare 72-byte publication|<=|1.15
tick_us|`SampleTick`, microseconds|-|
plan_ratio|`ReadFlightPlan` / `_fsopen` + `fgets` + `fclose` of the same file|<=|1.25
plan_us|`ReadFlightPlan` of the 50-waypoint plan, microseconds|<|1000
kestrel_dll_bytes|kestrel.dll|<=|49152
harrier_link_dll_bytes|harrier_link.dll|<=|49152'

# Figures printed for information, and what each one is.
info='frame_floor_us|two bare 64-byte publications (view of the whole section), microseconds
frame_floor_record_view_us|the same through a view of the record'"'"'s 64 bytes, as `SharedBlock` maps it, microseconds
frame_ratio_record_view|kestrel frame / two bare publications through a view of the record'"'"'s length
record_view_to_whole_view_ratio|publication through a view of the record'"'"'s length / of the whole section
deliver_ignored_ns|stand-in SimConnect delivering a message kestrel ignores (the host'"'"'s part of a message), nanoseconds
tick_floor_us|one bare 72-byte publication, microseconds
tick_dispatched_us|`SampleTick` reached as a host reaches it, `DispatchMessageA` of its `WM_TIMER`, microseconds
tick_dispatched_ratio|SampleTick by DispatchMessageA / one bare 72-byte publication
plan_floor_us|`_fsopen` + `fgets` of every line + `fclose`, microseconds
plan_open_close_us|`_fsopen` + `fclose` alone, microseconds
plan_cycle_dll_us|deactivation + activation through kestrel.dll (the read and `PublishPlan`), microseconds
plan_cycle_floor_us|bare line reading of the file + one bare 1208-byte publication, microseconds
plan_cycle_dll_ratio|the plan cycle through kestrel.dll / its floor'

awk -v table="$table" -v info="$info" -v json="$build/bench.json" -v md="$build/bench.md" \
    -v machine="$machine" -v date="$date" '
  { sub(/\r$/, "") }
  $1 == "FIGURE" { value[$2] = $3; order[++n] = $2; next }
  $1 == "NOTE" { sub(/^NOTE /, ""); notes[++m] = $0; next }
  function shown(k, v) {
    if (v == "null") return v
    if (k ~ /_ratio/) return sprintf("%.3f", v)
    if (k ~ /_us$/) return sprintf("%.1f", v)
    if (k ~ /_ns$/) return sprintf("%.1f", v)
    return v
  }
  END {
    infos = split(info, iline, "\n")
    for (i = 1; i <= infos; i++) { split(iline[i], f, "|"); about[f[1]] = f[2] }
    rows = split(table, line, "\n")
    printf "{\n" > json
    for (i = 1; i <= rows; i++) {
      split(line[i], f, "|")
      key[i] = f[1]; what[i] = f[2]; op[i] = f[3]; bound[i] = f[4]; named[f[1]] = 1
      v = (key[i] in value) ? value[key[i]] : "null"
      printf "  \"%s\": %s,\n", key[i], v > json
    }
    for (j = 1; j <= n; j++)
      if (!(order[j] in named))
        printf "  \"%s\": %s,\n", order[j], value[order[j]] > json
    printf "  \"machine\": \"%s\",\n  \"date\": \"%s\"\n}\n", machine, date > json

    printf "Measured %s on %s.\n\n", date, machine > md
    printf "| figure | what | value | target | met |\n|---|---|---|---|---|\n" > md
    printf "\n%-24s %14s  %-9s %s\n", "figure", "value", "target", "met"
    for (i = 1; i <= rows; i++) {
      v = (key[i] in value) ? value[key[i]] : "null"
      target = (op[i] == "-") ? "" : op[i] " " bound[i]
      met = ""
      if (op[i] != "-") {
        if (v == "null") met = "not measured"
        else if (op[i] == "<=") met = (v + 0 <= bound[i] + 0) ? "yes" : "NO"
        else met = (v + 0 < bound[i] + 0) ? "yes" : "NO"
      }
      printf "%-24s %14s  %-9s %s\n", key[i], shown(key[i], v), target, met
      printf "| `%s` | %s | %s | %s | %s |\n", key[i], what[i], shown(key[i], v), target, met > md
    }
    printf "\nfor information:\n"
    printf "\n| for information | what | value |\n|---|---|---|\n" > md
    for (j = 1; j <= n; j++)
      if (!(order[j] in named)) {
        printf "%-32s %10s  %s\n", order[j], shown(order[j], value[order[j]]), about[order[j]]
        printf "| `%s` | %s | %s |\n", order[j], about[order[j]], shown(order[j], value[order[j]]) > md
      }
    if (m > 0) {
      printf "\nnotes:\n"
      for (j = 1; j <= m; j++) printf "  %s\n", notes[j]
    }
    printf "\nmeasured %s on %s\n", date, machine
  }' "$raw"
echo "bench: wrote $build/bench.json and $build/bench.md" >&2
exit $status
