#!/usr/bin/env bash
# The main job: shows both deliverables at work.
set -euo pipefail
build=${1:-build}
launcher=$(cd "$build/launcher/driver" && pwd)/launcher
pack=$(cd "$build/tools/launcher-pack" && pwd)/launcher-pack
demo_src=$(cd "$(dirname "$0")/../demo" && pwd)

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
echo "-- an input file asking for a SEARCH without any jvm file: the single line 0"
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
head -c 100 /dev/zero > verify.jar
cat > manifest.tag <<TAG
INSTRUCTIONS:  install.tag
JVM:  id=7 demo-jvm.tag
LAUNCHSCRIPT:  launch.tag
VERIFY_JAR:  verify.jar
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
echo "== the sample application's launcher (build/demo/sample-launcher) =="
(
sample=$(cd "$build/demo" && pwd)/sample-launcher
java_home=$(cat "$build/demo/build-java-home")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# The launcher's temporary files go here, so that the demo can show that
# none is left behind.
mkdir tmp
export TMPDIR=$work/tmp
# The launcher's caches (verified JVMs, class-data archives) go here too,
# not into the caches of whoever runs the demo.
export XDG_CACHE_HOME=$work/cache
cp "$sample" sample-launcher
# Side files beside the launcher: a class-path entry, a system property and
# a Java argument that the launch script's functions pick up.
mkdir extra-classes
echo "$work/extra-classes" > sample-launcher.cp
echo "sample.greeting=Hello-from-the-side-file" > sample-launcher.sp
echo "-Xmx64m" > sample-launcher.ja

echo "\$ launcher-pack --list sample-launcher"
"$pack" --list sample-launcher
echo "\$ cat install.tag    (the instruction script)"
sed -n '/^INSTRUCTIONS:/,/^\/:/p' "$demo_src/install.tag"

# The jvm files name the usual places of Java 11 to 25 as path hints. When
# none of them holds a JVM here, the search would go on to walk the whole
# disk; the demo keeps that walk to the directory of the build's JVM.
hinted=no
for hint in $(sed -n '/^PATH_HINT:/,/^\/:/p' "$demo_src"/jvm/*.tag | grep -v ':'); do
  [ -x "/$hint/bin/java" ] && hinted=yes
done
if [ "$hinted" = no ]; then
  export LAUNCHER_SEARCH_PARTITIONS=$(dirname "$java_home")
  echo "(no hinted JVM on this machine: the search walks only $LAUNCHER_SEARCH_PARTITIONS)"
fi

# The application prints every system property; the demo shows its own.
show_app() { sed -n '1,/^System properties/p; /^  sample\./p'; }

echo
echo "-- a normal run: find a JVM by the hints, verify it, launch the application"
echo "\$ sample-launcher -tv:log run.log \"first argument\" 'it'\\''s \$HOME'"
./sample-launcher -tv:log run.log "first argument" "it's \$HOME" | show_app
echo "(exit status ${PIPESTATUS[0]}: the application's)"
echo "\$ grep -E 'Checking path hint|Found matching|Matching JVM|Executing' run.log | tail -4"
grep -E 'Checking path hint|Found matching|Matching JVM|Executing' run.log | tail -4

echo
echo "-- the second run: the JVM verified before is not run again, and the"
echo "   application starts with the class-data archive the first run wrote"
echo "\$ sample-launcher -tv:silent -tv:log again.log > /dev/null"
./sample-launcher -tv:silent -tv:log again.log >/dev/null
echo "\$ grep -E 'cache entry|class-path archives|class-data' again.log"
grep -E 'cache entry|class-path archives|class-data' again.log || true

echo
echo "-- ACTION SEARCH_ALL: every JVM below the search partitions, verified"
jvm_dir=$(dirname "$java_home")
cat > all.tag <<TAG
ACTION:  SEARCH_ALL
LOGFILE:  $work/all.log
TAG
echo "\$ LAUNCHER_SEARCH_PARTITIONS=$jvm_dir sample-launcher -tv:in all.tag"
LAUNCHER_SEARCH_PARTITIONS=$jvm_dir ./sample-launcher -tv:in all.tag | tee all.out
# The jvm files written for the caller survive the launcher; this caller
# keeps one for the next step and removes the rest.
first_jvm=$(sed -n 3p all.out)
sed -n '3~2p' all.out | tail -n +2 | xargs -r rm -f

echo
echo "-- ACTION VERIFY_JVM: that jvm file against its own home and against /usr"
for home in "$(sed -n 2p all.out)" /usr; do
  cat > verify.tag <<TAG
ACTION:  VERIFY_JVM
VERIFY_JVM_FILE:  "$first_jvm"
VERIFY_JVM_HOME:  "$home"
TAG
  echo "\$ sample-launcher -tv:in verify.tag    (home $home)"
  ./sample-launcher -tv:in verify.tag
done
rm -f "$first_jvm"

echo
echo "-- a machine without Java 11 or later: the bundled test JVM is installed and used"
mkdir empty
echo "\$ LAUNCHER_SEARCH_PARTITIONS=$work/empty sample-launcher -tv:log none.log"
LAUNCHER_SEARCH_PARTITIONS=$work/empty ./sample-launcher -tv:log none.log | show_app
echo "\$ grep -E 'No matching|Executing' none.log | tail -2"
grep -E 'No matching|Executing' none.log | tail -2
echo "\$ ls \$TMPDIR | wc -l    (temporary files left behind by these runs)"
ls "$TMPDIR" | wc -l
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

echo
echo "-- hvctl, the administrator's tool (preset blank, operations of 2 s)"
hvctl=$raidapi/tools/hvctl/hvctl
state=$work/hvctl.state
"$halvsim" init -p blank "$state" >/dev/null
for key in init-ms rebuild-ms; do "$halvsim" set "$state" "$key" 2000; done
run() {
  echo "\$ $*"
  HALVSIM_STATE="$state" LD_PRELOAD="$sim" "$hvctl" "${@:2}"
}
run hvctl adapters
run hvctl pd list
run hvctl config create --yes --raid 5 0:0 0:1 0:2
run hvctl init start 0 --wait
run hvctl pd hotspare-set 0:3
run hvctl settings auto-rebuild 1
echo "\$ halvsim fail \$state 0:1     (the disk dies)"
"$halvsim" fail "$state" 0:1
run hvctl status
echo "   (the administrator fails it on the adapter; automatic rebuild takes the hot spare)"
run hvctl pd fail --yes 0:1
run hvctl rebuild progress 0:3 --wait
run hvctl ld list
run hvctl status
run hvctl ld list --json
)
