#!/usr/bin/env bash
# The Windows program as a person meets it, under Wine: the portable zip
# unpacked and started, a design the original program left in the registry
# found in the window's export, typing in the window stored in the registry,
# the setup program installing silently and its copy starting, and the
# uninstaller leaving the user's settings and logos. Runs in the Wine prefix
# of the caller (WINEPREFIX), with its own X display.
#
#   tests/windows/smoke.sh ZIP SETUP
set -euo pipefail
zip="$(realpath "$1")"
setup="$(realpath "$2")"
work="$(mktemp -d)"
key='HKCU\Software\VB and VBA Program Settings\Tarnwick\Vantelo'
display_pid=""
cleanup() {
  wineserver -k 2>/dev/null || true
  # The design put into the registry here would otherwise greet every later
  # test in this prefix, which expects the program's defaults.
  wine reg delete "$key" /f >/dev/null 2>&1 || true
  wineserver -w 2>/dev/null || true
  [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "smoke: FAIL: $*" >&2
  exit 1
}
pass() { echo "smoke: ok: $*" >&2; }
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
unset QT_QPA_PLATFORM
# The Windows form of a path of this machine (Wine's drive Z:).
winpath() { echo "Z:${1//\//\\}"; }
setting() {
  wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$1 *REG_SZ *//p"
}

# A display of its own, for the program's real window.
for n in $(seq 90 120); do
  [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  display_pid=$!
  export DISPLAY=":$n"
  break
done
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# --- The portable zip -----------------------------------------------------
(cd "$work" && cmake -E tar xf "$zip")
app="$(find "$work" -maxdepth 1 -type d -name 'vantelo-*' | head -1)"
[ -f "$app/vantelo.exe" ] || fail "the zip holds no vantelo.exe"
version="$(wine "$app/vantelo.exe" --version | tr -d '\r')"
[[ "$version" == "vantelo "* ]] || fail "--version printed '$version'"
pass "the zip's program runs: $version"

# --- A design written into the registry as the original program wrote it ---
wine reg delete "$key" /f >/dev/null 2>&1 || true
wine reg add "$key" /v TextLine0 /t REG_SZ /d "Wine Bakery" /f >/dev/null
wine reg add "$key" /v "TextLine1 Bold" /t REG_SZ /d True /f >/dev/null
wine reg add "$key" /v "TextLine1 Color" /t REG_SZ /d 255 /f >/dev/null
wine "$app/vantelo.exe" --export "$(winpath "$work/first.png")" ||
  fail "--export of the registry's design failed"
wine reg add "$key" /v TextLine0 /t REG_SZ /d "Other Bakery" /f >/dev/null
wine "$app/vantelo.exe" --export "$(winpath "$work/second.png")" ||
  fail "--export failed the second time"
[ "$(head -c 8 "$work/first.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
  fail "--export wrote no PNG file"
cmp -s "$work/first.png" "$work/second.png" &&
  fail "the export does not change with the registry's TextLine0"
# Red (255) bold text: the export has red pixels only because the registry
# said so.
red="$(convert "$work/first.png" -fx '(r>0.8 && g<0.3 && b<0.3)' -format '%[fx:mean*w*h]' info:)"
[ "${red%.*}" -gt 20 ] || fail "the registry's red line 1 is not in the export ($red red pixels)"
pass "the registry's design is exported ($red red pixels)"

# --- The window, and typing stored in the registry ------------------------
wine "$app/vantelo.exe" >/dev/null 2>&1 &
window=""
for _ in $(seq 150); do
  window="$(xdotool search --onlyvisible --name '^Vantelo$' 2>/dev/null | head -1 || true)"
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || fail "no window named Vantelo appeared"
pass "the window appeared"
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus "$window"
sleep 1
before="$(wine reg query "$key" | tr -d '\r' | sort)"
xdotool type --delay 40 "Zq9"
stored=""
for _ in $(seq 50); do
  stored="$(wine reg query "$key" | tr -d '\r' | sort)"
  [ "$stored" != "$before" ] && grep -q 'Zq9' <<<"$stored" && break
  sleep 0.2
done
grep -q 'Zq9' <<<"$stored" || fail "typing in the window stored nothing in the registry"
pass "typing reached the registry: $(grep 'Zq9' <<<"$stored" | sed 's/  */ /g')"
wineserver -k
sleep 1
# The typing may have gone into the picture box, whose stored path now names
# no file; the installed copy starts with the default picture instead.
wine reg delete "$key" /v Image /f >/dev/null 2>&1 || true

# --- The setup program, silently ------------------------------------------
wine "$setup" /S
installed="$(wine cmd /c 'echo %LOCALAPPDATA%' | tr -d '\r')\\Programs\\Vantelo"
installed_unix="$(winepath -u "$installed" 2>/dev/null | tr -d '\r')"
[ -f "$installed_unix/vantelo.exe" ] || fail "the setup program installed no vantelo.exe ($installed_unix)"
[ -f "$installed_unix/Uninstall Vantelo.exe" ] || fail "no uninstaller was installed"
start_menu="$(winepath -u "$(wine cmd /c 'echo %APPDATA%' | tr -d '\r')\\Microsoft\\Windows\\Start Menu\\Programs" | tr -d '\r')"
[ -f "$start_menu/Vantelo.lnk" ] || fail "no Start-menu entry"
version="$(wine "$installed_unix/vantelo.exe" --version | tr -d '\r')"
[[ "$version" == "vantelo "* ]] || fail "the installed copy printed '$version'"
wine "$installed_unix/vantelo.exe" --export "$(winpath "$work/installed.png")" ||
  fail "the installed copy's --export failed"
pass "installed under $installed, with a Start-menu entry, and it runs"

# A logo the user saved into the installed logos folder, then uninstall.
cp "$work/first.png" "$installed_unix/logos/my-logo.png"
wine "$installed_unix/Uninstall Vantelo.exe" /S _?="$installed"
[ -f "$installed_unix/vantelo.exe" ] && fail "the uninstaller left vantelo.exe"
[ -f "$installed_unix/logos/my-logo.png" ] || fail "the uninstaller removed the user's logo"
[ -f "$installed_unix/logos/sample-peak.jpg" ] && fail "the uninstaller left a sample logo"
[ -f "$start_menu/Vantelo.lnk" ] && fail "the uninstaller left the Start-menu entry"
[ "$(setting "TextLine1 Color")" = 255 ] || fail "the uninstaller removed the settings"
pass "uninstalled; the user's settings and logo stayed"
echo "smoke: all passed" >&2
