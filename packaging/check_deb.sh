#!/usr/bin/env bash
# Builds the Debian package from a configured build folder and checks it without installing it: the file
# list, the dependencies dpkg-shlibdeps found, the desktop entry and AppStream file inside it, and the manual
# page rendering.
#
#     packaging/check_deb.sh [BUILD_DIR=build]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
fail() { echo "check_deb: $*" >&2; exit 1; }

rm -f "$build"/tarvikbmp_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
version=$(sed -n 's/^project(TarvikBMP VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
deb=$build/tarvikbmp_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || fail "no package $deb"

listing=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|')
expected=(
    /usr/bin/tarvikbmp /usr/libexec/tarvikbmp/tarvikbmp-window
    /usr/share/tarvikbmp/French.lng /usr/share/tarvikbmp/French_flag.gif
    /usr/share/applications/tarvikbmp.desktop /usr/share/man/man1/tarvikbmp.1.gz
    /usr/share/bash-completion/completions/tarvikbmp /usr/share/doc/tarvikbmp/copyright
    /usr/share/icons/hicolor/scalable/apps/tarvikbmp.svg
)
for size in 16 32 48 64 128 256; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/tarvikbmp.png")
done
for file in "${expected[@]}"; do
    grep -qxF "$file" <<<"$listing" || fail "the package lacks $file"
done
grep -q '^/usr/share/metainfo/.*\.metainfo\.xml$' <<<"$listing" || fail "the package lacks its AppStream file"
# Nothing outside /usr, and no build leftovers.
stray=$(grep -vE '^/usr/(bin|libexec|share)(/|$)|^/usr/$|^/$' <<<"$listing" || true)
[[ -z $stray ]] || fail "unexpected files: $stray"
! grep -qE '\.ini$|test|bench|\.a$|\.h$' <<<"$listing" || fail "build leftovers in the package"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6; do
    grep -q "\\b$library\\b" <<<"$depends" || fail "Depends lacks $library: $depends"
done

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/tarvikbmp.desktop"
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml >/dev/null
"$root/packaging/check_manpage.sh" "$unpacked/usr/share/man/man1/tarvikbmp.1.gz"
# The packaged command line carries no Qt, and runs.
! ldd "$unpacked/usr/bin/tarvikbmp" | grep -qi qt || fail "the packaged command line links Qt"
"$unpacked/usr/bin/tarvikbmp" --version >/dev/null
echo "check_deb: $(basename "$deb") passed (Depends: $depends)"
