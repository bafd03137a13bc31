# Wine as the Windows tests run it, sourced by with_wine.sh and setup_test.sh: the Chinese
# locale (Chinese labels and names need it), no debug output, no .NET runtime, and no
# menu entries or file associations written into the Linux desktop (winemenubuilder), so
# that shortcuts the tests make stay inside the Wine prefix.
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;winemenubuilder.exe="
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver

# Makes the prefix $WINEPREFIX when it is not there yet (about 11 s).
make_wine_prefix() {
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  mkdir -p "$WINEPREFIX"
  $wine wineboot -i >/dev/null 2>&1
  $server -w
}
