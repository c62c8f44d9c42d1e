#!/usr/bin/env bash
# Installs the built program into a throw-away prefix and checks it as a user
# would meet it: the tree, the desktop files, the command line without a
# display, a start from the bin link (as an unprivileged user too, whose logos
# go to the pictures folder), a picture on the command line, and the package.
# Usage: install_tree.sh BUILD_DIR CMAKE_COMMAND
set -euo pipefail
build=$1
cmake=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >/dev/null

app=$prefix/lib/vantelo
for f in "$app/vantelo" "$app/HAND-M.CUR" "$app/logos/tarnwick.gif" \
         "$prefix/share/applications/com.tarnwick.Vantelo.desktop" \
         "$prefix/share/metainfo/com.tarnwick.Vantelo.metainfo.xml" \
         "$prefix/share/mime/packages/com.tarnwick.Vantelo.xml" \
         "$prefix/share/icons/hicolor/scalable/apps/com.tarnwick.Vantelo.svg"; do
  [ -f "$f" ] || fail "not installed: $f"
done
for size in 16 22 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x$size/apps/com.tarnwick.Vantelo.png
  [ -f "$png" ] || fail "no ${size}px icon"
  [ "$(head -c 24 "$png" | tail -c 8 | od -An -tu1 | awk '{print $3*256+$4}')" = "$size" ] ||
    fail "the ${size}px icon is not $size pixels wide"
done
[ -L "$prefix/bin/vantelo" ] || fail "bin/vantelo is not a symbolic link"
[ "$(readlink "$prefix/bin/vantelo")" = ../lib/vantelo/vantelo ] || fail "bin/vantelo is not relative"
[ -x "$app/vantelo" ] || fail "the program is not executable"

desktop-file-validate "$prefix/share/applications/com.tarnwick.Vantelo.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/com.tarnwick.Vantelo.metainfo.xml" >/dev/null
# The menu entry opens design files, and the desktop knows them by their name.
grep -q '^MimeType=.*application/x-vantelo-design;' \
  "$prefix/share/applications/com.tarnwick.Vantelo.desktop" || fail "the menu entry lacks design files"
if command -v update-mime-database >/dev/null; then
  update-mime-database "$prefix/share/mime" >/dev/null 2>&1 || fail "the mime entry does not build"
  grep -q '^application/x-vantelo-design:\*\.vantelo$' "$prefix/share/mime/globs" ||
    fail "the mime database has no *.vantelo"
fi

# The command line answers without a display.
headless=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
"${headless[@]}" "$prefix/bin/vantelo" --help | grep -q '^Usage: vantelo' || fail "--help"
version=$("${headless[@]}" "$prefix/bin/vantelo" --version)
[[ $version =~ ^vantelo\ [0-9]+\.[0-9]+ ]] || fail "--version said '$version'"
grep -q "release version=\"${version#vantelo }\"" \
  "$prefix/share/metainfo/com.tarnwick.Vantelo.metainfo.xml" || fail "metainfo lacks $version"
set +e
"${headless[@]}" "$prefix/bin/vantelo" --no-such-option 2>"$work/usage"
rc=$?
set -e
[ $rc -eq 2 ] && grep -q '^Usage: vantelo' "$work/usage" || fail "unknown option gave $rc"

# Starts the program from its link as user $1 with home $2, any further
# arguments passed on, and ends it once its file $3 holds the text $4 (or after
# 20 s). Its start-up report goes to $work/log, its messages to $2/messages.
start() {
  local user=$1 home=$2 watch=$3 text=$4
  shift 4
  local run=()
  [ "$user" = self ] || run=(setpriv --reuid="$user" --regid="$user" --clear-groups)
  : >"$work/log"
  "${run[@]}" env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR= \
    QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="vantelo.startup.info=true" \
    VANTELO_MESSAGE_LOG="$home/messages" \
    "$prefix/bin/vantelo" "$@" >"$work/log" 2>&1 &
  local pid=$! i
  for ((i = 0; i < 200; i++)); do
    grep -qF "$text" "$watch" 2>/dev/null && break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
expect() { grep -qF "$1" "$work/log" || { cat "$work/log" >&2; fail "expected '$1'"; }; }

mkdir -p "$work/home"
start self "$work/home" "$work/log" "gallery entries"
expect "application folder: $app"
expect "default picture: $app/logos/tarnwick.gif"
expect "gallery entries: 3"

# A picture on the command line is chosen as Browse would choose it; one that
# does not load is reported at Browse's loading step.
start self "$work/home" "$work/home/.config/Tarnwick/Vantelo.conf" "sample-peak" \
  "$app/logos/sample-peak.jpg"
grep -qF "Image=$app/logos/sample-peak.jpg" "$work/home/.config/Tarnwick/Vantelo.conf" ||
  fail "the picture of the command line was not chosen"
start self "$work/home" "$work/home/messages" "at line" "$work/missing.jpg"
grep -q 'PushButton6_Click at line 114' "$work/home/messages" || fail "a bad picture was not reported"

# A user who cannot write the program's folder keeps logos in the pictures
# folder, and the gallery lists them after the samples.
if [ "$(id -u)" -eq 0 ] && setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null; then
  mkdir -p "$work/nobody"
  chown 65534:65534 "$work/nobody"
  start 65534 "$work/nobody" "$work/log" "gallery entries"
  expect "logo library: $work/nobody/Pictures/Vantelo"
  expect "gallery entries: 3"
  mkdir -p "$work/nobody/Pictures/Vantelo"
  cp "$app/logos/sample-orbit.jpg" "$work/nobody/Pictures/Vantelo/mine.jpg"
  chown -R 65534:65534 "$work/nobody"
  start 65534 "$work/nobody" "$work/log" "gallery entries"
  expect "gallery entries: 4"
fi

# The Debian package holds the same tree under /usr and names its libraries.
if command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null; then
  cpack=$(dirname "$cmake")/cpack
  (cd "$work" && "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null)
  deb=$(ls "$work"/deb/*.deb)
  dpkg-deb -c "$deb" >"$work/contents"
  for entry in ./usr/lib/vantelo/vantelo ./usr/lib/vantelo/logos/tarnwick.gif \
               "./usr/bin/vantelo -> ../lib/vantelo/vantelo" \
               ./usr/share/applications/com.tarnwick.Vantelo.desktop \
               ./usr/share/mime/packages/com.tarnwick.Vantelo.xml; do
    grep -qF "$entry" "$work/contents" || fail "the package lacks $entry"
  done
  dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "the package names no Qt dependency"
fi
echo "install tree ok"
