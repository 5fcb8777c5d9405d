#!/usr/bin/env bash
# The main job: shows both deliverables at work.
set -euo pipefail
build=${1:-build}
launcher=$(cd "$build/launcher/driver" && pwd)/launcher
pack=$(cd "$build/tools/launcher-pack" && pwd)/launcher-pack

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

echo
echo "-- a launcher file: the program with a payload packed by launcher-pack"
mkdir payload
cd payload
printf 'COMMANDS:\n  INITIALIZE_UI\n/:\n' > install.tag
printf 'DESC:  Demo JVM\nJVM_EXE:  bin/java\n' > demo-jvm.tag
printf 'DESC:  Demo Application\nCOMMAND:  "@JVM_EXE@" -jar demo.jar\n' > launch.tag
head -c 150000 /dev/zero > demo.jar
cat > manifest.tag <<TAG
INSTRUCTIONS:  install.tag
JVM:  id=7 demo-jvm.tag
LAUNCHSCRIPT:  launch.tag
APPLICATION_JAR:  demo.jar
TAG
echo "\$ cat manifest.tag"
cat manifest.tag
echo "\$ launcher-pack launcher manifest.tag demo-launcher"
"$pack" "$launcher" manifest.tag ../demo-launcher
echo "\$ launcher-pack --list demo-launcher"
"$pack" --list ../demo-launcher
cd ..
mkdir extracted
cd extracted
echo "\$ demo-launcher -tv:extract    (one dot per block of 61439 bytes)"
../demo-launcher -tv:extract
echo "\$ ls"
ls
echo "\$ cat input.tag"
cat input.tag
echo "\$ demo-launcher -tv:log run.log    (the title comes from the launch script)"
status=0
../demo-launcher -tv:log run.log || status=$?
echo "(exit status $status)"
echo "\$ head -6 run.log"
head -6 run.log
echo "\$ launcher-pack launcher bad.tag bad-launcher    (a missing file)"
printf 'APPLICATION_JAR:  missing.jar\n' > bad.tag
status=0
"$pack" "$launcher" bad.tag ../bad-launcher 2>&1 || status=$?
echo "(exit status $status)"
)

echo
echo "== hvapi (libhvapi.so.0 against the simulated driver) =="
(
raidapi=$(cd "$build/raidapi" && pwd)
sim=$raidapi/sim/libhalvsim.so
halvsim=$raidapi/sim/halvsim
demo=$raidapi/tools/hvapi-demo
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "-- one 40LD adapter on /dev/halvdev0 (preset one40ld)"
echo "\$ hvapi-demo"
HALVSIM_STATE="$work/one40ld.state" HALVSIM_PRESET=one40ld LD_PRELOAD="$sim" "$demo"

echo
echo "-- two 8LD adapters on SCSI disk devices (preset two8ld, boards that show short version texts)"
"$halvsim" init -p two8ld "$work/two8ld.state" >/dev/null
"$halvsim" set "$work/two8ld.state" -a 0 subsystem-vendor 0x103C
"$halvsim" set "$work/two8ld.state" -a 1 subsystem-vendor 0x103C
echo "\$ hvapi-demo"
HALVSIM_STATE="$work/two8ld.state" LD_PRELOAD="$sim" "$demo"
)
