#!/usr/bin/env bash
# Runs an end-to-end test program and takes the screenshots it asks for: for each request file it
# writes into the screenshot folder, the whole screen is saved beside it and the request removed.
set -u
folder=$1
shift
mkdir -p "$folder"
rm -f "$folder"/*.request
export PEUPDATE_SCREENSHOTS="$folder"
"$@" & program=$!
while kill -0 "$program" 2>/dev/null; do
  for request in "$folder"/*.request; do
    [[ -e $request ]] || continue
    /usr/bin/import -window root "${request%.request}.png" 2>/dev/null
    rm -f "$request"
  done
  sleep 0.1
done
wait "$program"
