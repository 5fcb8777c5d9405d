#!/bin/sh
# Checks the Java programs against what the launcher relies on.
#   java_programs_test.sh verify|sample|installer JAVA FILE
set -u
what=$1
java=$2
file=$3
failures=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# expect NAME EXPECTED ACTUAL
expect() {
  if [ "$2" != "$3" ]; then
    printf 'FAIL %s\n--- expected\n%s\n--- got\n%s\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}

case $what in
verify)
  # arguments | expected output after the magic line (one line per argument)
  while IFS='|' read -r args expected; do
    # shellcheck disable=SC2086
    got=$("$java" -Dtest.a="a value" -Dtest.b=two -cp "$file" Verify $args)
    want=$(printf '1739021872\n%b' "$expected")
    expect "Verify $args" "$want" "$got"
  done <<END
|
no.such.property|\n
test.a|a value\n
test.b test.a test.b|two\na value\ntwo\n
line.separator|\\\\n\n
END
  ;;
sample)
  out=$("$java" -Dsample.prop=given -jar "$file" one 'two words' '$(x)')
  for line in 'Sample application started.' '  [0] <one>' \
      '  [1] <two words>' '  [2] <$(x)>' '  sample.prop=given' \
      'Arguments (3):'; do
    printf '%s\n' "$out" | grep -qxF -- "$line" || {
      echo "FAIL sample application: no line '$line' in:"
      printf '%s\n' "$out"
      failures=$((failures + 1))
    }
  done
  ;;
installer)
  dest="$scratch/dest with \"quotes\""
  mkdir -p "$dest"
  (cd "$dest" && "$file" > /dev/null) || { echo "FAIL installer exit status"; failures=$((failures + 1)); }
  [ -f "$dest/jvm" ] || { echo "FAIL no jvm file"; failures=$((failures + 1)); }
  grep -qF 'JVM_EXE:  bin/java' "$dest/jvm" || { echo "FAIL no JVM_EXE"; failures=$((failures + 1)); }
  quoted=$(printf '%s' "$dest" | sed 's/"/""/g')
  grep -qxF "JVM_HOME:  \"$quoted\"" "$dest/jvm" || { echo "FAIL JVM_HOME"; cat "$dest/jvm"; failures=$((failures + 1)); }
  "$dest/bin/java" -version > /dev/null 2>&1 || { echo "FAIL installed bin/java does not run"; failures=$((failures + 1)); }
  ;;
esac
exit $((failures != 0))
