#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks what `cmake --install` puts on the desktop: both menu entries (desktop-file-validate: no
# error or warning; hints are advice), both manual pages (man shows them without a warning at 80
# columns) and the AppStream entry (appstreamcli, offline).
set -euo pipefail
root=${1:?usage: validate_desktop_files.sh SOURCE_DIR}
status=0

for entry in "$root/app/awardsync.desktop" "$root/mark-window/awardsync-mark.desktop"; do
    if ! report=$(desktop-file-validate "$entry" 2>&1) || grep -E "(error|warning):" <<<"$report"; then
        echo "FAIL: $entry"; echo "$report"; status=1
    fi
done

for page in "$root/docs/man/awardsync.1" "$root/docs/man/awardsync-mark.1"; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || { echo "FAIL: man $page"; status=1; }
    if [ -n "$warnings" ]; then
        echo "FAIL: $page"; echo "$warnings"; status=1
    fi
done

appstreamcli validate --no-net "$root/metainfo/io.github.awardsync.Awardsync.metainfo.xml" || status=1

exit $status
