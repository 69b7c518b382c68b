#!/usr/bin/env bash
# The Debian package from outside: built by CPack with its dependencies computed, installed into
# an empty root with dpkg --root (never into this machine's system), started through its menu
# entry for a user with an empty home, who gets a program folder of their own, and removed.
set -uo pipefail
built=$(dirname "$1")
here=$(dirname "$(readlink -f "$0")")
repo=$(cd "$here/../.." && pwd)
source "$here/desktop.sh"
source "$repo/scripts/common.sh"

begin_test

ensure_packages dpkg-dev || exit 1
deb=$work/breezel_1.0_$(dpkg --print-architecture).deb
cpack --config "$built/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1
check "the package is built as $(basename "$deb")" test -f "$deb"
[[ -f $deb ]] || { cat "$work/cpack.log"; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
check "its dependencies are computed from the program's libraries" grep -q libqt6widgets6 <<<"$depends"
check "and name what it loads at run time" grep -q qt6-translations-l10n <<<"$depends"

# An empty root of its own: the dependencies are this machine's, so dpkg is told not to look.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/log"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends -i "$deb" >"$work/dpkg-install.log" 2>&1
check "dpkg installs it into the empty root" test $? -eq 0
check "the launcher is on the PATH" test -x "$root/usr/bin/breezel"
check "the program folder is under /usr/libexec/breezel" \
    test -x "$root/usr/libexec/breezel/breezel" -a -f "$root/usr/libexec/breezel/Sound/Kouka.wav" \
    -a -f "$root/usr/libexec/breezel/画像データ/FanMove.gif" \
    -a -f "$root/usr/libexec/breezel/libbreezel_sound.so"
entry=$root/usr/share/applications/$app_id.desktop
check "the menu entry is valid" desktop-file-validate "$entry"
check "the icons are in the hicolor theme" \
    test -f "$root/usr/share/icons/hicolor/32x32/apps/breezel.png" \
    -a -f "$root/usr/share/icons/hicolor/256x256/apps/breezel.png"

# A user with an empty home starts it from the menu.
start_desktop "$work/desktop" || exit 1
unset XDG_DATA_HOME
folder=$HOME/.local/share/breezel
eval "set -- $(sed -n 's/^Exec=//p' "$entry")"
(cd "$HOME" && PATH=$root/usr/bin:$PATH exec "$@") >"$work/breezel.log" 2>&1 &
app_pid=$!
wid=$(wait_window Kazeyomi) || { cat "$work/breezel.log"; wid=; }
check "started from the menu entry, the main window shows" test -n "$wid"
check "the user's data folder is made, private" test "$(stat -c %a "$folder/★MailData" 2>&1)" = 700
check "the program keeps its settings there" wait_until 10 test -f "$folder/★MailData/ini.ini"
check "the user's folder reaches the installed sound and pictures" \
    test "$(readlink "$folder/Sound")" = "$root/usr/libexec/breezel/Sound" \
    -a -f "$folder/画像データ/FanMove.gif"
check "started from the menu, it runs in the user's folder, where vbmail.ini goes" \
    test "$(readlink "/proc/$app_pid/cwd")" = "$folder"
kill "$app_pid"; wait "$app_pid" 2>/dev/null; app_pid=

dpkg --root="$root" -r breezel >"$work/dpkg-remove.log" 2>&1
check "dpkg removes it" test $? -eq 0 -a ! -e "$root/usr/bin/breezel" -a ! -e "$root/usr/libexec/breezel"
check "the user's settings stay" test -f "$folder/★MailData/ini.ini"

tally
