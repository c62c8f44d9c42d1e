#!/usr/bin/env bash
# Installs what building, running and testing Vantelo needs, when it is missing.
# Debian packages only; safe to run again (it installs nothing that is there).
set -euo pipefail

# qt6-base-dev: Qt 6 widgets, image formats, the xcb and offscreen platforms;
# fonts-liberation: "Arial" resolves to a metric-compatible face; xvfb, xauth,
# xdotool, x11-utils, imagemagick: a real X window for the acceptance runs, input
# to drive it and screenshots of it; libjpeg-turbo-progs: cjpeg and djpeg, the
# anchor of the JPEG benchmark and a check in the tests; clang and its runtime
# libraries: the libFuzzer targets; libjpeg62-turbo-dev: the JPEG writer
# encodes through libjpeg-turbo directly;
# desktop-file-utils, appstream, dpkg-dev:
# the install test validates the menu entry and metainfo and builds the .deb;
# librsvg2-bin: scripts/icons.sh draws the icon's PNG sizes; acl: setfacl
# gives a folder to an unprivileged user in the save tests; xclip reads the
# clipboard the program fills; poppler-utils: pdftoppm and pdffonts draw the
# PDF export back to pixels and list its fonts (rsvg-convert does the SVG).
packages=(
  qt6-base-dev
  cmake ninja-build g++
  fonts-liberation
  xvfb xauth xdotool
  x11-utils libx11-dev
  libjpeg-turbo-progs
  libjpeg62-turbo-dev
  clang libclang-rt-14-dev
  imagemagick
  desktop-file-utils appstream dpkg-dev librsvg2-bin
  acl xclip
  poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
