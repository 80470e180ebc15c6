#!/usr/bin/env bash
# Keeps the window layer (src/app) in its shape: no folder but shell/
# includes shell/; no file over 500 lines that are not blank; no window reads
# a worker's last result, waits on a worker or retries on a timer; labelled
# fields are built in app/widgets only; the display state of the open
# document (the map's and the result layers' colours, sizes, fonts and
# visibility, the active result layer) is written in app/document only. Run
# by ctest as WindowShape; prints what breaks the shape.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
fault() {
    echo "window shape: $1" >&2
    status=1
}
sources() { find src/app -name '*.h' -o -name '*.cpp'; }

if grep -n '#include "app/shell/' $(sources) | grep -v '^src/app/shell/'; then
    fault "a folder other than shell/ includes shell/"
fi
for file in $(sources); do
    lines=$(grep -cv '^[[:space:]]*$' "$file" || true)
    if [ "$lines" -gt 500 ]; then
        fault "$file has $lines lines that are not blank"
    fi
done
if grep -nE 'lastError\(|lastOutcome\(|lastResult\(|waitIdle|[.>]wait\(|singleShot\([1-9]' $(sources); then
    fault "a window reads a worker's last result, waits on a worker or retries on a timer"
fi
if grep -n 'setBuddy' $(sources) | grep -v '^src/app/widgets/'; then
    fault "a labelled field is built outside app/widgets"
fi
fields='layerColours|originalPointSize|virtualPointSize|delaunayLineWidth|voronoiLineWidth|lineColor|textColor|lineSize|labelsVisible|visible|font'
if grep -nE "(->|map_?\.)($fields)\s*(\[[^]]*\])?\s*=[^=]|->styles\b[^;]*=[^=]|(->|\.)(showAll|hideAll|hideInactive|setShowTrace|activate)\(" \
    $(sources) | grep -v '^src/app/document/'; then
    fault "the display state is written outside app/document"
fi
exit $status
