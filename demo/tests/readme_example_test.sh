#!/usr/bin/env bash
# Runs the README's packing example as a user pastes it at the top of a
# clone: in a directory that holds the clone's demo/ and this build as
# build/.
#   readme_example_test.sh README SOURCE_DIR BUILD_DIR WORK_DIR
set -euo pipefail
readme=$1
source_dir=$2
build_dir=$3
work=$4

mkdir -p "$work"
ln -sfn "$source_dir/demo" "$work/demo"
ln -sfn "$build_dir" "$work/build"
# The first sh block after the marker line.
example=$(sed -n '/<!-- packing example/,$p' "$readme" |
  sed -n '/^```sh$/,/^```$/p' | sed '1d;/^```$/,$d')
[ -n "$example" ] || { echo "FAIL: no packing example in $readme"; exit 1; }
# The build's own JVM, so that no machine walks its disk for one.
JAVA_HOME=$(cat "$build_dir/demo/build-java-home")
export JAVA_HOME
cd "$work"
output=$(bash -euo pipefail -c "$example" 2>&1) || {
  echo "FAIL: the example failed:"; echo "$output"; exit 1; }
echo "$output"
for expected in "Sample application started." "  [0] <an argument>" \
                "exit status 0" "-tv:help"; do
  case $output in
    *"$expected"*) ;;
    *) echo "FAIL: the example's output lacks: $expected"; exit 1 ;;
  esac
done
