#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and uses it as a user would, with a temporary HOME and no
# TARVIKBMP_HOME: the command line, a batch run, the window started on a file (offscreen) through the command
# line and a second start handing its file over. The settings must land in the configuration folder and
# nothing may be written inside the installed tree.
#
#     install_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
window_pid=""
cleanup() {
    if [[ -n $window_pid ]]; then
        kill "$window_pid" 2>/dev/null || true
        wait "$window_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$work/root cmake --install "$build" --prefix /usr >/dev/null
usr=$work/root/usr
for file in bin/tarvikbmp libexec/tarvikbmp/tarvikbmp-window share/tarvikbmp/{French.lng,French_flag.gif,English.lng} \
    share/applications/tarvikbmp.desktop share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/tarvikbmp.png \
    share/icons/hicolor/scalable/apps/tarvikbmp.svg share/man/man1/tarvikbmp.1.gz \
    share/bash-completion/completions/tarvikbmp share/doc/tarvikbmp/copyright; do
    [[ -f $usr/$file ]] || fail "not installed: $file"
done
ls "$usr"/share/metainfo/*.metainfo.xml >/dev/null || fail "no AppStream file"
# Nothing of the build's own: no settings file, no test or benchmark program.
[[ -z $(find "$work/root" -name '*.ini' -o -name '*test*' -o -name '*bench*') ]] || fail "stray files installed"
snapshot() { (cd "$work/root" && find . -printf '%p %s %T@ %m\n' | sort); }
before=$(snapshot)

export HOME=$work/home
unset TARVIKBMP_HOME XDG_CONFIG_HOME DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME" "$work/pictures/sub" "$work/out" "$work/runtime"
chmod 700 "$work/runtime"
cd "$work/pictures"
# A 2x2 32-bit bitmap, one pixel half transparent; and one in a subfolder.
printf 'BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x20\0\0\0\0\0\x10\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0\xff\0\0\xff\0\xff\0\xff\0\0\xff\x80\xff\xff\xff\xff' >a.bmp
cp a.bmp sub/b.bmp

tarvikbmp=$usr/bin/tarvikbmp
[[ $("$tarvikbmp" --version) == "tarvikbmp "* ]] || fail "--version"
"$tarvikbmp" batch compress . "$work/out" --subfolders --quiet || fail "batch"
[[ $(head -c 2 "$work/out/sub/b.bmp") == RL ]] || fail "batch wrote no RL file"
[[ ! -e $HOME/.config ]] || fail "the command line wrote settings"

# The window, through the command line as the desktop entry starts it. Opening a file remembers its folder,
# which is the first setting it writes: the settings folder is created then.
settings=$HOME/.config/tarvikbmp/TarvikBMP.ini
wait_for_folder() {
    for _ in $(seq 200); do
        grep -qxF "Folder1=$1"$'\r' "$settings" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "the window did not open a file in $1"
}
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/runtime "$tarvikbmp" "$work/pictures/a.bmp" >"$work/window.log" 2>&1 &
window_pid=$!
wait_for_folder "$work/pictures"
[[ $(readlink "/proc/$window_pid/exe") == "$usr/libexec/tarvikbmp/tarvikbmp-window" ]] || fail "not the window program"
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/runtime "$tarvikbmp" "$work/pictures/sub/b.bmp" ||
    fail "the second start did not hand its file over"
wait_for_folder "$work/pictures/sub"

[[ $(snapshot) == "$before" ]] || fail "something was written inside the installed tree: $(diff <(echo "$before") <(snapshot))"
echo "install test passed"
