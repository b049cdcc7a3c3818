#!/usr/bin/env bash
# The per-user installer under Wine: the program and a Start-menu entry in the user's own
# folders, and the five-minute task for the installed program (off with /NOTASK); uninstalling
# removes the task and keeps settings and log, unless asked with /PURGE.
# Arguments: the installer and the wine64 loader; WINEPREFIX names a prefix of its own.
set -euo pipefail
setup=$1 wine=$2 user=$WINEPREFIX/drive_c/users/$(id -un)
dir=$user/AppData/Local/Programs/Pellvane key='HKCU\Software\Brackfell\Pellvane'
task=$WINEPREFIX/drive_c/windows/system32/tasks/Pellvane
exe="C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Pellvane\\pellvane.exe"
server=$(command -v wineserver || echo /usr/lib/wine/wineserver)
fail() { echo "installer_test: $*" >&2; exit 1; }
# What the scheduled task runs, when there is one: Wine keeps the task but not its action, so
# the action is read from the task file the installer gave the Task Scheduler.
task_runs() { grep -qs "<Description>Pellvane: " "$task" && iconv -f UTF-16 -t UTF-8 "$dir/pellvane-now.xml" | sed -n 's:.*<Command>\(.*\)</Command>.*:\1:p'; true; }
# Windows runs its Task Scheduler always; Wine starts it on request, and then wineserver -w
# would wait for it: the uninstaller, which goes on in a copy of itself, is waited for by its file.
"$server" -w
"$wine" net start schedule >/dev/null 2>&1 || true
gone() { for _ in $(seq 300); do [ -e "$1" ] || return 0; sleep 0.2; done; return 1; }
for purge in "" /PURGE /NOTASK; do
  install_options=${purge#/PURGE} want_task=$exe
  [ -n "$install_options" ] && want_task=""
  "$wine" "$setup" /S $install_options
  [ -f "$dir/pellvane.exe" ] && [ -f "$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Pellvane.lnk" ] ||
    fail "not installed in $dir with a Start-menu entry"
  [ "$(task_runs)" = "$want_task" ] || fail "install $install_options: the task runs '$(task_runs)'"
  echo "log" >"$dir/pellvane.log" && "$wine" reg add "$key" /v lastip /d 192.0.2.1 /f >/dev/null 2>&1
  "$wine" "$dir/uninstall.exe" /S ${purge/\/NOTASK/} && gone "$dir/uninstall.exe"
  [ ! -e "$dir/pellvane.exe" ] || fail "uninstall $purge left the program"
  [ ! -e "$task" ] || fail "uninstall $purge left the task"
  kept=no want=yes
  [ -f "$dir/pellvane.log" ] && "$wine" reg query "$key" >/dev/null 2>&1 && kept=yes
  [ "$purge" = /PURGE ] && want=no
  [ "$kept" = "$want" ] || fail "uninstall $purge: settings and log kept: $kept"
done
echo "installer_test: installs per user with the five-minute task (unless /NOTASK); uninstall" \
  "removes the task and keeps settings and log unless /PURGE"
