# Sourced by scripts/run and scripts/screenshots: the simulator on the bench
# axis, in the background.

# Starts it from the build folder $1; sets $com to its port's COM name and
# $simulator_ports to the file with the lines it printed. The caller stops
# it with stop_simulator (on EXIT).
start_simulator() {
  simulator_ports=$(mktemp)
  "$1/velkor-sim" sim/scenarios/bench-axis.scn >"$simulator_ports" 2>&1 &
  simulator=$!
  # The simulator prints "COMn /dev/pts/N chain" for its port once it serves.
  com=""
  for _ in $(seq 50); do
    com=$(awk '$3 == "chain" { print $1; exit }' "$simulator_ports")
    [ -n "$com" ] && return 0
    kill -0 "$simulator" 2>/dev/null || break
    sleep 0.1
  done
  echo "the simulator did not start:"
  cat "$simulator_ports"
  return 1
}

stop_simulator() {
  [ -n "${simulator:-}" ] || return 0
  kill "$simulator" 2>/dev/null || true
  wait "$simulator" 2>/dev/null || true
  rm -f "$simulator_ports"
}
