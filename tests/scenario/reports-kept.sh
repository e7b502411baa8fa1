#!/usr/bin/env bash
# What UpdateSequenceTest.FailedUpdatesReachTheServerOnlyWhenItTakesReports sent, as the
# server stored it: one failure per stage with its reason, and none from the run without
# UpdateReports.   reports-kept.sh <qxserver> <database>
set -euo pipefail
reports=$("$1" reports --db "$2" | grep -P '\tUpdFailedUpdatesReach[^\t]*\t1\.0\tfailed\t' || true)
for expected in "download	Status code error : 500" \
    "verify	Downloaded file data.bin differs from the list" \
    "install	QXInstaller failed to install all files : cannot replace data.bin"; do
    if [ "$(grep -cF "failed	$expected" <<<"$reports")" != 1 ]; then
        echo "expected one report \"$expected\"; the server holds:"
        echo "$reports"
        exit 1
    fi
done
