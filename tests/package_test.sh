#!/usr/bin/env bash
# The Debian package of a build: its fields and contents, and its programs run from where it
# unpacks, on the demo show it holds and on a show they make. Usage: package_test.sh BUILDDIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >/dev/null)
arch=$(dpkg --print-architecture)
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb=$work/out/tolvane_${version}_${arch}.deb
[ -f "$deb" ] || fail "no $(basename "$deb") in: $(ls "$work/out")"

# Each check reads a whole output before it looks at it: a pipe into grep -q, which stops
# at its first match, would end the writer with SIGPIPE, which pipefail reports.
# The fields: what apt needs to install it with everything the programs open.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tolvane ] || fail "Package: $(field Package)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
depends=$(field Depends)
for needed in fonts-dejavu-core fonts-dejavu-extra libsdl1.2debian libsdl-mixer1.2 \
  libsdl-ttf2.0-0 libsdl-image1.2 libvips42 libmikmod3 libvorbisfile3 libjpeg62-turbo; do
  grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
[ "$(field Recommends)" = ffmpeg ] || fail "Recommends: $(field Recommends)"
info=$(dpkg-deb -I "$deb")
grep -q "^ Maintainer: ." <<<"$info" || fail "no Maintainer: $info"

# The contents: the programs, their manual pages, the whole demo show, and nothing else.
dpkg-deb -c "$deb" | awk '{ print $6 }' >"$work/contents"
for file in usr/bin/tolvane usr/bin/tolvane-render usr/bin/tolvane-make \
  usr/share/man/man1/tolvane.1.gz usr/share/man/man1/tolvane-render.1.gz \
  usr/share/man/man1/tolvane-make.1.gz usr/share/tolvane/demo/gfx/arial.ttf \
  usr/share/tolvane/demo/gfx/back.png usr/share/tolvane/demo/gfx/foto19.jpg \
  usr/share/tolvane/demo/gfx/hd/back.png usr/share/tolvane/demo/gfx/hd/foto19.jpg \
  usr/share/tolvane/demo/sfx/belong.mod; do
  grep -qx "./$file" "$work/contents" || fail "$file is not in the package"
done
outside=$(grep -v -e '^\./usr/bin/' -e '^\./usr/share/man/man1/' -e '^\./usr/share/tolvane/' \
  -e '^\./usr/$' -e '^\./usr/share/$' -e '^\./usr/share/man/$' "$work/contents" || true)
[ -z "$outside" ] || fail "unexpected entries: $outside"

# Unpacked, the programs need nothing of the build: the demo passes its check, and a show
# made from two of its photos passes too, from a folder outside the build.
dpkg-deb -x "$deb" "$work/root"
bin=$work/root/usr/bin
kind=$(file "$bin/tolvane")
grep -q ", stripped" <<<"$kind" || fail "tolvane is not stripped: $kind"
mkdir "$work/photos"
cp "$work/root/usr/share/tolvane/demo/gfx/foto0"[12].jpg "$work/photos/"
cd "$work"
"$bin/tolvane-render" -C "$work/root/usr/share/tolvane/demo" --check >check.txt ||
  fail "the demo's check: $(cat check.txt)"
"$bin/tolvane-make" -o show photos/foto01.jpg photos/foto02.jpg >make.txt 2>&1 ||
  fail "tolvane-make: $(cat make.txt)"
"$bin/tolvane-render" -C show --check >check.txt || fail "the made show's check: $(cat check.txt)"
grep -q "large sources of 7 of the 7" check.txt || fail "the made show's large sources: $(cat check.txt)"
said=$("$bin/tolvane" --version)
[ "$said" = "tolvane $version" ] || fail "tolvane --version: $said"
echo "package $(basename "$deb"): $(stat -c %s "$deb") bytes; Depends: $depends"
