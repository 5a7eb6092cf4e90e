#!/usr/bin/env bash
# The manual page renders without a single troff warning and has the sections a user looks for.
#
#     packaging/check_manpage.sh tarvikbmp.1.gz
set -euo pipefail
page=$1
warnings=$(MANWIDTH=80 man -l --warnings "$page" 2>&1 >/dev/null)
[[ -z $warnings ]] || { echo "man warns: $warnings" >&2; exit 1; }
text=$(MANWIDTH=80 man -l "$page" 2>/dev/null | col -b)
for part in NAME SYNOPSIS OPTIONS "EXIT STATUS" COMMANDS ENVIRONMENT FILES "   info" "   compress" \
    "   decompress" "   batch" "--json" "transparent_pixels" "--subfolders" "TARVIKBMP_HOME" "130"; do
    grep -qF -- "$part" <<<"$text" || { echo "the manual page lacks: $part" >&2; exit 1; }
done
