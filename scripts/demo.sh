#!/bin/sh
# A whole session on this machine: starts the bundled SMSC simulator on a free
# loopback port, binds with the command-line client, sends a message asking
# for a delivery receipt, prints its id and the receipt, unbinds, and stops
# the simulator. Usage: scripts/demo.sh [directory of korvane-smpp and korvane-smsc]
set -eu

bin=${1:-build/bin}
work=$(mktemp -d)
smsc_pid=
cleanup() {
  [ -n "$smsc_pid" ] && kill "$smsc_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

step() { printf '\n\033[1m== %s\033[0m\n' "$*"; }
show() { printf '$ %s\n' "$*"; }

step "Starting the SMSC simulator on a free loopback port"
"$bin/korvane-smsc" --port 0 --port-file "$work/port" --system-id demo --password secret \
  --receipt-delay 300 --exit-after-unbinds 1 >"$work/smsc.log" 2>&1 &
smsc_pid=$!
tries=0
while [ ! -s "$work/port" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ] || ! kill -0 "$smsc_pid" 2>/dev/null; then
    echo "the simulator did not start:" >&2
    cat "$work/smsc.log" >&2
    exit 1
  fi
  sleep 0.1
done
port=$(cat "$work/port")
sed -n 1p "$work/smsc.log"

step "Binding as transceiver, sending a message, waiting for its id and delivery receipt"
show korvane-smpp send --port "$port" --system-id demo --password secret \
  --to 447700900123 --from Korvane --text "'Hello from KorvaneSMPP'" --wait-receipt
status=0
"$bin/korvane-smpp" send --port "$port" --system-id demo --password secret \
  --to 447700900123 --from Korvane --text "Hello from KorvaneSMPP" --wait-receipt 2>&1 || status=$?

step "What the simulator saw"
tries=0
while kill -0 "$smsc_pid" 2>/dev/null && [ "$tries" -lt 50 ]; do
  tries=$((tries + 1))
  sleep 0.1
done
sed 's/^/  /' "$work/smsc.log"

if [ "$status" -ne 0 ]; then
  step "The demo failed (korvane-smpp exit status $status)"
  exit "$status"
fi
step "Done: bound, sent, got the message id and the receipt, unbound"
