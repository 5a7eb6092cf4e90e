#!/usr/bin/env bash
# The bash completion, sourced as bash-completion does, asked what it offers at each point of a command line
# typed against the built program.
#
#     completion_test.sh COMPLETION_SCRIPT BUILT_TARVIKBMP
set -uo pipefail
source "$1"
program=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/sprites" "$work/sub dir"
touch "$work/a.bmp" "$work/B.RL" "$work/c.txt" "$work/d.BMP" "$work/sprites/e.bmp" "$work/f.Png"
cd "$work"
failed=0

offers() {  # expected -- words typed (the last one is being completed)
    local expected=() got want
    while [[ $1 != -- ]]; do expected+=("$1"); shift; done
    shift
    COMP_WORDS=("$program" "$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _tarvikbmp
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ')
    want=$(printf '%s\n' "${expected[@]}" | sed '/^$/d' | sort | tr '\n' ' ')
    [[ $got == "$want" ]] || { echo "FAIL: tarvikbmp $* -> [$got], expected [$want]"; failed=1; }
}

# Commands (and images, which open in the window) first; options of the program and of each command.
offers info compress decompress batch a.bmp B.RL d.BMP sprites "sub dir" -- ""
offers decompress d.BMP -- d
offers --help --version -- --
offers --help --json -- info --
offers -h --help -j --jobs -q --quiet --subfolders --copy --png --fit --dry-run -- batch -
# Bitmaps, PNG and RL files and folders for the image commands; never other files.
offers a.bmp B.RL d.BMP f.Png sprites "sub dir" -- info ""
offers a.bmp B.RL d.BMP f.Png sprites "sub dir" -- compress a.bmp ""
offers sprites/e.bmp -- decompress sprites/
# batch: the direction, then folders only; nothing after --jobs, whose value is no positional argument.
offers compress decompress -- batch ""
offers sprites "sub dir" -- batch compress ""
offers compress decompress -- batch -j 4 ""
offers sprites "sub dir" -- batch --jobs 2 decompress sprites ""
offers "" -- batch compress sprites out --jobs ""
# Every option the help names is offered: the completion reads them from it.
for command in info compress decompress batch; do
    for option in $("$program" "$command" --help | sed -n '/^Options:/,/^$/p' | grep -oE -- '--[a-z-]+'); do
        COMP_WORDS=("$program" "$command" "$option"); COMP_CWORD=2
        _tarvikbmp
        [[ " ${COMPREPLY[*]} " == *" $option "* ]] || { echo "FAIL: $command $option not offered"; failed=1; }
    done
done
exit $failed
