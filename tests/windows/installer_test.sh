#!/usr/bin/env bash
# The per-user installer under Wine: the program and a Start-menu entry in the user's own
# folders; uninstalling keeps settings and log, unless asked with /PURGE.
# Arguments: the installer and the wine64 loader; WINEPREFIX names a prefix of its own.
set -euo pipefail
setup=$1 wine=$2 user=$WINEPREFIX/drive_c/users/$(id -un)
dir=$user/AppData/Local/Programs/Pellvane key='HKCU\Software\Brackfell\Pellvane'
server=$(command -v wineserver || echo /usr/lib/wine/wineserver)
fail() { echo "installer_test: $*" >&2; exit 1; }
for purge in "" /PURGE; do
  "$wine" "$setup" /S && "$server" -w
  [ -f "$dir/pellvane.exe" ] && [ -f "$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Pellvane.lnk" ] ||
    fail "not installed in $dir with a Start-menu entry"
  echo "log" >"$dir/pellvane.log" && "$wine" reg add "$key" /v lastip /d 192.0.2.1 /f >/dev/null 2>&1
  "$wine" "$dir/uninstall.exe" /S $purge && "$server" -w
  [ ! -e "$dir/pellvane.exe" ] || fail "uninstall $purge left the program"
  kept=no want=yes
  [ -f "$dir/pellvane.log" ] && "$wine" reg query "$key" >/dev/null 2>&1 && kept=yes
  [ -n "$purge" ] && want=no
  [ "$kept" = "$want" ] || fail "uninstall $purge: settings and log kept: $kept"
done
echo "installer_test: installs per user; uninstall keeps settings and log unless /PURGE"
