#!/bin/sh
# Run once in the guest while its image is built: the Wine prefix that every later boot
# starts from, with Wine's null display driver, as the native route's prefix has it.
set -e
export WINEPREFIX=/opt/morvith/wineprefix WINEARCH=win32 WINEDEBUG=-all HOME=/root
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
export LOCPATH=/opt/morvith/locale LC_ALL=ja_JP.UTF-8
rm -rf "$WINEPREFIX"
wineboot -i
cat > /tmp/null-driver.reg <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Graphics"="null"
REG
wine regedit /S /tmp/null-driver.reg
wineserver -w
touch "$WINEPREFIX/.morvith-ready"
echo "prefix ready"
