#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a packager and a
# user see there: the GNUInstallDirs layout, the desktop file and AppStream
# metadata as their validators judge them, the man pages, and that the
# installed programs find the installed device folder.
# Usage: check-install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d "${TMPDIR:-/tmp}/ostrander-install-XXXXXX")
trap 'rm -rf "$prefix"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/ostrander bin/ostrander-cli \
         share/ostrander/Devices/Hex61S.ini share/ostrander/Devices/DMmap_HEX61S.dat \
         share/applications/org.ostrander.Ostrander.desktop \
         share/icons/hicolor/scalable/apps/org.ostrander.Ostrander.svg \
         share/metainfo/org.ostrander.Ostrander.metainfo.xml \
         share/man/man1/ostrander.1 share/man/man1/ostrander-cli.1; do
  [ -e "$prefix/$f" ] || fail "missing $f"
done
[ ! -e "$prefix/Devices" ] || fail "a Devices folder at the top of the prefix"

grep -qx 'Icon=org.ostrander.Ostrander' "$prefix/share/applications/org.ostrander.Ostrander.desktop" \
  || fail "the desktop file names no icon"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/org.ostrander.Ostrander.desktop"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/org.ostrander.Ostrander.metainfo.xml" >/dev/null \
    || fail "appstreamcli rejects the metainfo"
fi
for page in ostrander ostrander-cli; do
  if command -v man >/dev/null; then
    out=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1" 2>&1 >/dev/null) || fail "man $page"
    [ -z "$out" ] || fail "man $page: $out"
  fi
done

# The installed programs read the installed devices, not the build tree's,
# and not the user's own folder.
export XDG_DATA_HOME="$prefix/no-user-data"
unset OSTRANDER_DEVICES
listing=$("$prefix/bin/ostrander-cli" mirrors)
head -1 <<<"$listing" | grep -qF "Devices from $prefix/share/ostrander/Devices/ (installed)" \
  || fail "ostrander-cli read: $(head -1 <<<"$listing")"
grep -q "Hex 61" <<<"$listing" || fail "no shipped mirror in the installed listing"
# The Python module, when it was built: installed with its stubs below the
# prefix, it imports from there and reads the installed devices as well.
module=$(find "$prefix" -name 'ostrander.cpython-*.so' | head -1)
if [ -n "$module" ]; then
  [ -e "$(dirname "$module")/ostrander.pyi" ] || fail "no type stubs beside the Python module"
  python=$(sed -n 's/^Python3_EXECUTABLE:[A-Z]*=//p' "$build/CMakeCache.txt")
  path=$(PYTHONPATH=$(dirname "$module") "${python:-python3}" -c \
    'import ostrander; print(next(m["path"] for m in ostrander.mirrors() if m["file"] == "Hex61S.ini"))') \
    || fail "the installed Python module does not list the mirrors"
  [ "$path" = "$prefix/share/ostrander/Devices/Hex61S.ini" ] || fail "the Python module read $path"
fi
# ostrander-cli finds its picture module in the installed layout and draws.
find "$prefix" -name ostrander-cli-pictures.so -path '*/ostrander/*' | grep -q . \
  || fail "no picture module installed"
"$prefix/bin/ostrander-cli" simulate Hex19 --all 60 --out "$prefix/run" >/dev/null 2>&1 \
  || fail "the installed ostrander-cli cannot simulate with pictures"
[ -s "$prefix/run/surface.png" ] || fail "the installed ostrander-cli drew no surface.png"
"$prefix/bin/ostrander" --version | grep -q '^ostrander ' || fail "ostrander --version"
echo "check-install: layout, validators and device lookup of $prefix are fine"
