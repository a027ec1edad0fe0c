#!/usr/bin/env bash
# The wire check: the round trips of the interop tests run once more while
# tshark captures them on lo, every peer listening on one port; tshark's
# SMPP dissector must find no malformed frame and no expert error, and
# every command the client sends.
#   wire_check.sh INTEROP_TESTS
# Exits 77 (skipped) where tshark or node is absent or capturing on lo is
# not permitted here (it needs root or CAP_NET_RAW).
set -u
tests=$1
for program in tshark node; do
  command -v $program >/dev/null || { echo "$program not found: the wire check needs it"; exit 77; }
done
work=$(mktemp -d)
capture=
trap '[ -n "$capture" ] && kill $capture 2>/dev/null; rm -rf "$work"' EXIT
log=$work/capture.log

# A port nobody listens on, below the range the system hands out itself.
for port in $(shuf -i 20000-32000 -n 50); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
done

# tshark captures a little after it says so: UDP probes to the port go out
# until it has printed one more of them than `seen` (which also shows that
# the file holds every packet before the probe).
probes() { grep -c UDP "$log"; }
await_probe() {
  local seen=$1
  for _ in $(seq 150); do
    [ "$(probes)" -gt "$seen" ] && return 0
    kill -0 $capture 2>/dev/null || return 1
    echo probe >"/dev/udp/127.0.0.1/$port"
    sleep 0.2
  done
  return 1
}
tshark -i lo -f "port $port" -w "$work/wire.pcapng" -P -l >"$log" 2>&1 &
capture=$!
if ! await_probe 0; then
  cat "$log"
  grep -qi "permission\|not permitted" "$log" && exit 77
  echo "tshark did not start capturing"; exit 1
fi
KORVANE_PEER_PORT=$port "$tests" --gtest_brief=1 || exit 1
await_probe "$(probes)" || { cat "$log"; echo "the capture fell behind"; exit 1; }
kill -INT $capture; wait $capture; capture=

# One line a frame: TCP destination port, SMPP command ids, the malformed
# marker, expert severities (errors are 0x00800000 = 8388608 and above).
tshark -r "$work/wire.pcapng" -d "tcp.port==$port,smpp" -T fields -E separator=/t \
    -E occurrence=a -e tcp.dstport -e smpp.command_id -e _ws.malformed -e _ws.expert.severity |
awk -F '\t' -v port="$port" '
  BEGIN { split("00000001 00000002 00000009 00000004 00000021 00000003 00000008 00000005 " \
                "00000015 80000015 80000005 00000006 80000006", wanted, " ") }
  $1 != "" { frames++ }
  $1 == port { n = split($2, ids, ","); for (i = 1; i <= n; i++) { sent[tolower(substr(ids[i], 3))]++; pdus++ } }
  $3 != "" { print "malformed frame: " $0; bad = 1 }
  { n = split($4, severities, ","); for (i = 1; i <= n; i++) if (severities[i] + 0 >= 8388608) { print "expert error: " $0; bad = 1 } }
  END {
    for (i in wanted) if (!(wanted[i] in sent)) { print "not dissected: 0x" wanted[i]; bad = 1 }
    for (id in sent) { known = 0; for (i in wanted) if (wanted[i] == id) known = 1
                       if (!known) { print "a command the client should not send: 0x" id; bad = 1 } }
    printf "tshark dissected %d TCP frames, %d SMPP PDUs from the client\n", frames, pdus
    exit bad }'
