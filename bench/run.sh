#!/usr/bin/env bash
# Whole-process benchmarks of the launcher against the tools users compare
# it with, each pair measured side by side in one hyperfine run, then the
# in-process Google Benchmark figures. Builds every case in a scratch
# directory of its own and prints one table of ratios (launcher median /
# reference median; below 1 means the launcher is faster).
#
#   bench/run.sh [BUILD_DIR] [RESULTS_DIR]
#
# BUILD_DIR is a configured and built tree (default: build); the figures
# go to RESULTS_DIR (default: BUILD_DIR/bench-results) as hyperfine and
# Google Benchmark JSON, results.md (the table) and ratios.svg (the plot).
# RUNS and PAYLOAD_MB change the number of runs and the extraction size.
# Nothing here is a test: no figure makes the script fail.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
results=${2:-$build/bench-results}
mkdir -p "$results"
results=$(cd "$results" && pwd)
runs=${RUNS:-15}
payload_mb=${PAYLOAD_MB:-200}

launcher=$build/launcher/driver/launcher
pack=$build/tools/launcher-pack/launcher-pack
verify_jar=$build/java/verify.jar
for f in "$launcher" "$pack" "$verify_jar"; do
  [ -e "$f" ] || { echo "bench: $f is missing; build first (make build)" >&2; exit 1; }
done
for tool in hyperfine java javac jar python3; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (make setup)" >&2; exit 1; }
done
java_bin=$(readlink -f "$(command -v java)")
java_home=$(dirname "$(dirname "$java_bin")")
java=$java_home/bin/java

scratch=$(mktemp -d "${TMPDIR:-/tmp}/launcher-bench.XXXXXX")
cleanup() { rm -rf -- "$scratch"; }
trap cleanup EXIT
cd "$scratch"
mkdir tmp cache
export TMPDIR=$scratch/tmp XDG_CACHE_HOME=$scratch/cache LANG=C
unset JAVA_HOME LC_ALL

# What the launcher of this build can do: the verified-JVM cache and the
# class-data archives are measured only where they exist.
has_verify_cache=no
has_class_data=no
if grep -aq -- '-tv:noverifycache' "$launcher"; then has_verify_cache=yes; fi
if grep -aq 'CLASS_DATA_ARCHIVE' "$launcher"; then has_class_data=yes; fi
no_cache=()
[ "$has_verify_cache" = yes ] && no_cache=(-tv:noverifycache)

# --- the cases ---------------------------------------------------------

# A small program, and the jvm file that finds the build's JVM by its
# path hint.
mkdir -p src/plain
cat > src/plain/Main.java <<'EOF'
public class Main {
  public static void main(String[] args) { System.out.println("hello"); }
}
EOF
javac -d classes/plain src/plain/Main.java
jar cf app.jar -C classes/plain .
cat > jvm.tag <<EOF
DESC:  The build's JVM
JVM_EXE:  bin/java
JVM_PROPERTIES:  java.vm.specification.name=Java Virtual Machine Specification
PATH_HINT:  "$java_home"
CLASSPATH:  "-classpath "
CLASSPATH_SEPARATOR:  :
EOF
cat > launch.tag <<'EOF'
DESC:  Bench
DISPLAY_CONSOLE:  1
COMMAND:  """@JVM_HOME@/@JVM_EXE@"" %CP%() Main"
EOF
cat > script.tag <<'EOF'
INSTRUCTIONS:
  FIND_JVM 0 0
  JMP0 @N1@ END
  LAUNCH "@S2@" 0
  :END
/:
EOF
cat > hinted.manifest <<EOF
INSTRUCTIONS:  script.tag
JVM:  jvm.tag
LAUNCHSCRIPT:  launch.tag
CLASSPATH_JAR:  app.jar
VERIFY_JAR:  $verify_jar
EOF
"$pack" "$launcher" hinted.manifest hinted >/dev/null

# Verification of one home through an input file.
cat > verify-in.tag <<EOF
ACTION:  VERIFY_JVM
VERIFY_JVM_FILE:  $scratch/jvm.tag
VERIFY_JVM_HOME:  "$java_home"
EOF
cp "$verify_jar" verify.jar

# A home whose java prints nothing and notes when it ends, for the time
# from a captured child's end to the launcher's return.
mkdir -p quiet/bin
cat > quiet/bin/java <<'EOF'
#!/bin/sh
exec date +%s%N > "$BENCH_CHILD_END"
EOF
chmod +x quiet/bin/java
cat > quiet-in.tag <<EOF
ACTION:  VERIFY_JVM
VERIFY_JVM_FILE:  $scratch/jvm.tag
VERIFY_JVM_HOME:  "$scratch/quiet"
EOF

# The payload to extract, and the launcher file that carries it.
head -c "$((payload_mb * 1024 * 1024))" /dev/urandom > payload.bin
cat > extract.manifest <<'EOF'
APPLICATION_JAR:  payload.bin
EOF
"$pack" "$launcher" extract.manifest extract >/dev/null

# A tree without a JVM in it, walked to its end by both.
mkdir tree
for a in $(seq 1 40); do
  for b in $(seq 1 10); do
    mkdir -p "tree/a$a/b$b/lib"
    touch "tree/a$a/b$b/lib/"f{1..24}.jar "tree/a$a/b$b/"r{1..4}
  done
done
cat > walk.tag <<'EOF'
DESC:  Any JVM on the disk
JVM_EXE:  bin/java
JVM_PROPERTIES:  java.vm.specification.name=Java Virtual Machine Specification
SEARCH_ALL:  1
CLASSPATH:  "-classpath "
EOF
cat > walk.manifest <<EOF
INSTRUCTIONS:  script.tag
JVM:  walk.tag
LAUNCHSCRIPT:  launch.tag
VERIFY_JAR:  $verify_jar
EOF
"$pack" "$launcher" walk.manifest walker >/dev/null
printf 'ACTION:  SEARCH\n' > search-in.tag

# Programs for the class-data archives: one whose classes come from its
# class path, one that loads them through a class loader of its own.
if [ "$has_class_data" = yes ]; then
  mkdir -p src/many src/lib src/loader
  {
    echo "public class Main { public static void main(String[] a) { long s = 0;"
    for i in $(seq 0 299); do echo "s += C$i.f();"; done
    echo 'System.out.println(s); } }'
  } > src/many/Main.java
  for i in $(seq 0 299); do
    echo "public class C$i { static int f() { return $i + new java.util.ArrayList<String>().size(); } }" > "src/many/C$i.java"
    echo "public class L$i { public static int f() { return $i; } }" > "src/lib/L$i.java"
  done
  {
    echo "public class Entry { public static void run() { long s = 0;"
    for i in $(seq 0 299); do echo "s += L$i.f();"; done
    echo 'System.out.println(s); } }'
  } > src/lib/Entry.java
  cat > src/loader/Loader.java <<'EOF'
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Path;
public class Loader {
  public static void main(String[] args) throws Exception {
    Path here = Path.of(Loader.class.getProtectionDomain().getCodeSource()
        .getLocation().toURI()).getParent();
    URL lib = here.resolve("lib.jar").toUri().toURL();
    try (URLClassLoader loader = new URLClassLoader(new URL[] {lib},
        ClassLoader.getPlatformClassLoader())) {
      loader.loadClass("Entry").getMethod("run").invoke(null);
    }
  }
}
EOF
  javac -d classes/many src/many/*.java
  javac -d classes/lib src/lib/*.java
  javac -d classes/loader src/loader/Loader.java
  mkdir cds
  jar cf cds/many.jar -C classes/many .
  jar cf cds/lib.jar -C classes/lib .
  jar cf cds/loader.jar -C classes/loader .
  for kind in many loader; do
    main=Main; [ "$kind" = loader ] && main=Loader
    cat > "cds-$kind-launch.tag" <<EOF
DESC:  Bench
DISPLAY_CONSOLE:  1
CLASS_DATA_ARCHIVE:  1
COMMAND:  """@JVM_HOME@/@JVM_EXE@"" %CP%() $main"
EOF
    {
      echo "INSTRUCTIONS:  script.tag"
      echo "JVM:  jvm.tag"
      echo "LAUNCHSCRIPT:  cds-$kind-launch.tag"
      echo "CLASSPATH_JAR:"
      echo "  cds/$kind.jar"
      [ "$kind" = loader ] && echo "  cds/lib.jar"
      echo "/:"
      echo "VERIFY_JAR:  $verify_jar"
    } > "cds-$kind.manifest"
    "$pack" "$launcher" "cds-$kind.manifest" "cds-$kind" >/dev/null
  done
fi

# --- measuring ---------------------------------------------------------

hf() {  # name, number of runs, hyperfine arguments...
  local name=$1 count=$2
  shift 2
  echo "== $name" >&2
  hyperfine --style basic --warmup 3 --runs "$count" \
    --export-json "$results/$name.json" "$@" >&2
}

hf hinted-launch "$runs" -N \
  "./hinted ${no_cache[*]}" \
  "$java -cp app.jar Main"
hf verification "$runs" -N \
  "./hinted ${no_cache[*]} -tv:in verify-in.tag" \
  "$java -classpath verify.jar Verify java.vm.specification.name"
hf extraction "$(( runs < 10 ? runs : 10 ))" \
  --prepare "rm -rf out && mkdir out" \
  "cd out && ../extract -tv:extract" \
  "cd out && cp ../payload.bin ."
hf disk-walk "$runs" -N \
  "env LAUNCHER_SEARCH_PARTITIONS=$scratch/tree ./walker -tv:in search-in.tag" \
  "find $scratch/tree -path */bin/java"
if [ "$has_verify_cache" = yes ]; then
  hf hinted-launch-cached "$runs" -N "./hinted" "$java -cp app.jar Main"
fi
if [ "$has_class_data" = yes ]; then
  hf class-data-plain "$runs" -N "./cds-many" "$java -cp cds/many.jar Main"
  hf class-data-loader "$runs" -N "./cds-loader" "$java -cp cds/loader.jar Loader"
fi

# The captured child that prints nothing: from its end (the time its last
# command noted) to the launcher's return, median of many runs.
echo "== captured-child-end" >&2
python3 - "$results/captured-child-end.json" "$runs" <<'EOF'
import json, os, statistics, subprocess, sys, time
out, runs = sys.argv[1], max(int(sys.argv[2]), 20)
env = dict(os.environ, BENCH_CHILD_END=os.path.abspath("child-end"))

def gaps(command):
    """From the child's last command to the return of command, in seconds."""
    found = []
    for _ in range(runs + 3):
        subprocess.run(command, env=env, stdout=subprocess.DEVNULL, check=False)
        returned = time.time_ns()
        with open("child-end") as f:
            found.append((returned - int(f.read())) / 1e9)
    return found[3:]

# The same child run directly is the floor: its own end and this script's
# wake-up.
launcher = gaps(["./hinted", "-tv:in", "quiet-in.tag"])
direct = gaps(["quiet/bin/java"])
result = {"median": statistics.median(launcher), "min": min(launcher),
          "max": max(launcher), "runs": len(launcher),
          "direct_median": statistics.median(direct)}
json.dump(result, open(out, "w"))
print("launcher: median %.2f ms (min %.2f, max %.2f); the child alone: "
      "median %.2f ms" % (result["median"] * 1e3, result["min"] * 1e3,
                          result["max"] * 1e3, result["direct_median"] * 1e3),
      file=sys.stderr)
EOF

# In-process figures.
if [ -x "$build/bench/launcher_bench" ]; then
  echo "== launcher_bench" >&2
  "$build/bench/launcher_bench" --benchmark_out="$results/launcher_bench.json" \
    --benchmark_out_format=json >&2
fi
sim=$build/raidapi/sim/libhalvsim.so
if [ -x "$build/bench/hvapi_bench" ] && [ -e "$sim" ]; then
  echo "== hvapi_bench" >&2
  HALVSIM_STATE=$scratch/adapters.state HALVSIM_PRESET=one40ld \
    LD_PRELOAD=$sim "$build/bench/hvapi_bench" \
    --benchmark_out="$results/hvapi_bench.json" --benchmark_out_format=json >&2
fi

# The launcher file's size, and what the program is made of.
{
  echo "launcher_bytes=$(stat -c %s "$launcher")"
  size "$launcher" | awk 'NR == 2 { print "text=" $1; print "data=" $2; print "bss=" $3 }'
  echo "needed=$(readelf -d "$launcher" | awk '/NEEDED/ { gsub(/[][]/, "", $5); printf "%s ", $5 }')"
  echo "payload_mb=$payload_mb"
  echo "verify_cache=$has_verify_cache"
  echo "class_data=$has_class_data"
  echo "cores=$(nproc)"
  echo "cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)"
  echo "kernel=$(uname -r)"
  echo "java=$("$java" -version 2>&1 | head -n 1)"
  echo "date=$(date -u +%Y-%m-%dT%H:%MZ)"
} > "$results/machine.txt"

python3 "$here/report.py" "$results"
