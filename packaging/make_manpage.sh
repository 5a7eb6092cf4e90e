#!/usr/bin/env bash
# Writes the manual page of tarvikbmp from the program's own help texts, so the page cannot drift from them:
# help2man turns `tarvikbmp --help` and `--version` into the page, and every command's `--help` becomes a
# subsection of COMMANDS. The result is compressed as Debian installs manual pages.
#
#     packaging/make_manpage.sh BUILT_TARVIKBMP OUTPUT.1.gz
set -euo pipefail
program=$1 output=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# roff: a backslash is written \e, and a line must not start with a dot or an apostrophe.
roff() { sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"; }

commands=$("$program" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }')
{
    echo "[COMMANDS]"
    for command in $commands; do
        echo ".SS $command"
        echo ".nf"
        "$program" "$command" --help | roff
        echo ".fi"
    done
    echo "[SEE ALSO]"
    echo "The README of the source tree, and the window's own texts."
} >"$work/commands.h2m"

help2man --no-info --section 1 --source "TarvikBMP" --manual "User Commands" \
    --name "convert 24/32-bit Windows bitmaps to the RL format and back" \
    --include "$work/commands.h2m" --output "$work/tarvikbmp.1" "$program"
# help2man keeps headings it does not know inside OPTIONS; exit codes have a section of their own.
# The date it writes is the build's; a reproducible build may fix it through SOURCE_DATE_EPOCH.
sed -e 's/^\.SS "Exit status:"$/.SH "EXIT STATUS"/' "$work/tarvikbmp.1" | gzip -9n >"$output.tmp"
mv "$output.tmp" "$output"
