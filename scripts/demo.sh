#!/usr/bin/env bash
# The main job: shows both deliverables at work.
set -euo pipefail
build=${1:-build}
launcher=$(cd "$build/launcher/driver" && pwd)/launcher

echo "== launcher =="
echo "\$ launcher -tv:version"
"$launcher" -tv:version

# The tag-file part runs in a scratch directory of its own.
(
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

echo
echo "-- tag file round trip: -tv:extract writes input.tag, -tv:in reads it back"
"$launcher" -tv:extract >/dev/null
echo "\$ cat input.tag"
cat input.tag
echo "\$ launcher -tv:in input.tag"
"$launcher" -tv:in input.tag && echo "(exit status 0)"

echo
echo "-- an input file asking for an action that is not available yet"
cat > search.tag <<TAG
LOGFILE:  $work/launcher.log
SHOW_FAIL_MSG:  1
ACTION:  SEARCH
TAG
echo "\$ cat search.tag"
cat search.tag
echo "\$ launcher -tv:in search.tag"
status=0
"$launcher" -tv:in search.tag || status=$?
echo "(exit status $status)"
echo "\$ cat launcher.log"
cat launcher.log
)
