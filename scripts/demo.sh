#!/usr/bin/env bash
# The main job end to end, with no network: plan a region (Beijing), download levels 1-12 from the
# built-in grid source into the depository demo/beijing.idx + .dat (task row in demo/task.db), show
# it, verify every tile, export it to MBTiles and list the task.
#     scripts/demo.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
VTCORE="./$BUILD/tools/vtcore/vtcore"
REGION=(--extent 115.7,39.4,117.4,41.1)
LEVELS=1-12

mkdir -p demo
echo "== vtcore plan"
"$VTCORE" plan "${REGION[@]}" --levels "$LEVELS"
echo
echo "== vtcore download"
"$VTCORE" download demo/beijing "${REGION[@]}" --levels "$LEVELS" --source grid --overwrite --quiet
echo
echo "== vtcore info"
"$VTCORE" info demo/beijing
echo
echo "== vtcore verify"
"$VTCORE" verify demo/beijing
echo
echo "== vtcore export"
"$VTCORE" export demo/beijing --format mbtiles --output demo/beijing.mbtiles --overwrite
echo
echo "== vtcore tasks"
"$VTCORE" tasks --db-dir demo
