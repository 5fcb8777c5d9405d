#!/usr/bin/env bash
# The main job: shows both deliverables at work.
set -euo pipefail
build=${1:-build}
echo "== launcher =="
"$build/launcher/driver/launcher" -tv:version
