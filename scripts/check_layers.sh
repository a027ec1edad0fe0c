#!/bin/sh
# Prints the include graph between the folders of src/ ("from -> to (count)")
# and fails when a folder includes one of a higher layer or one of its own
# rank. Layers, lowest first; folders on one line share a rank:
#   vocabulary / platform / diagnostics / message / text encoders decoders /
#   session / inbound outbound / api
set -u
src="${1:-$(dirname "$0")/../src}"
rank() {
  case "$1" in
    vocabulary) echo 0 ;; platform) echo 1 ;; diagnostics) echo 2 ;; message) echo 3 ;;
    text | encoders | decoders) echo 4 ;; session) echo 5 ;; inbound | outbound) echo 6 ;; api) echo 7 ;;
    *) echo "" ;;
  esac
}
status=0
for dir in "$src"/*/; do
  from=$(basename "$dir")
  from_rank=$(rank "$from")
  if [ -z "$from_rank" ]; then
    echo "src/$from is in no layer"
    status=1
    continue
  fi
  edges=$(grep -ho '^#include "[a-z_]*/' "$dir"* | sed 's/#include "//; s/\///' | sort | uniq -c)
  [ -n "$edges" ] || continue
  echo "$edges" | while read -r count to; do
    [ "$to" = "$from" ] || [ "$to" = korvane ] && continue
    echo "$from -> $to ($count)"
  done
  for to in $(echo "$edges" | awk '{print $2}'); do
    [ "$to" = "$from" ] || [ "$to" = korvane ] && continue
    to_rank=$(rank "$to")
    if [ -z "$to_rank" ] || [ "$to_rank" -ge "$from_rank" ]; then
      echo "  not allowed: $from includes $to"
      status=1
    fi
  done
done
exit $status
