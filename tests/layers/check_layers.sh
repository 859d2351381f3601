#!/usr/bin/env bash
# Fails when a library includes a layer above it: nothing below app/ includes app/, the Qt Core libraries
# include no widget, GUI or browser header, and storage/ reaches ui/ only through the notice header.
set -u
root=${1:?repository root}
cd "$root" || exit 2
status=0
fail() { echo "$1"; status=1; }

while IFS= read -r hit; do fail "includes app/: $hit"; done < <(
    grep -rnE '#include "app/' platform net storage export ui 2>/dev/null)
while IFS= read -r hit; do fail "Qt Core library includes a GUI header: $hit"; done < <(
    grep -rnE '#include <(Qt(Widgets|Gui|WebEngine[A-Za-z]*)/|Q(Widget|Application|Font|Color|Painter|Pixmap|Icon|MessageBox)\b)|#include "ui/' \
        platform net storage/engine export 2>/dev/null)
while IFS= read -r hit; do fail "storage includes ui/ beyond the notice header: $hit"; done < <(
    grep -rnE '#include "ui/' storage --include='*.cpp' --include='*.h' 2>/dev/null | grep -v '"ui/uPubFunc.h"')
while IFS= read -r hit; do fail "storage includes a GUI header: $hit"; done < <(
    grep -rnE '#include <Q(Widget|Application|MessageBox|Dialog)\b' storage 2>/dev/null)
exit $status
