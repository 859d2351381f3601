#!/usr/bin/env bash
# Fails when a library includes a layer above it: nothing below app/ includes app/, the Qt Core libraries
# include no widget, GUI or browser header, the page format knows nothing of storage or of what uses it, and
# storage/ and the collector reach ui/ only through the notice header.
set -u
root=${1:?repository root}
cd "$root" || exit 2
status=0
fail() { echo "$1"; status=1; }
gui='#include <(Qt(Widgets|Gui|WebEngine[A-Za-z]*|Charts)/|Q(Widget|Application|Font|Color|Painter|Pixmap|Icon|MessageBox|Dialog|Chart[A-Za-z]*)\b)'

while IFS= read -r hit; do fail "includes app/: $hit"; done < <(
    grep -rnE '#include "app/' platform net page storage library collect cli export ui 2>/dev/null)
while IFS= read -r hit; do fail "Qt Core library includes a GUI header or ui/: $hit"; done < <(
    grep -rnE "$gui|#include \"ui/" platform net page storage/engine library collect cli export 2>/dev/null \
        | grep -v '^cli/[^:]*:[0-9]*:#include "ui/uPubFunc.h"')
while IFS= read -r hit; do fail "page/ includes a layer it must not know: $hit"; done < <(
    grep -rnE '#include "(storage|library|collect|cli|export|net|ui)/' page 2>/dev/null)
while IFS= read -r hit; do fail "net/ or platform/ includes a layer above it: $hit"; done < <(
    grep -rnE '#include "(page|storage|library|collect|cli|export|ui)/' net platform 2>/dev/null)
while IFS= read -r hit; do fail "storage/ includes a layer above it: $hit"; done < <(
    grep -rnE '#include "(library|collect|cli|export)/' storage 2>/dev/null)
while IFS= read -r hit; do fail "library/ includes a layer above it: $hit"; done < <(
    grep -rnE '#include "(collect|cli|export)/' library 2>/dev/null)
while IFS= read -r hit; do fail "collect/ includes a layer above it: $hit"; done < <(
    grep -rnE '#include "(library|cli|export)/' collect 2>/dev/null)
while IFS= read -r hit; do fail "storage includes ui/ beyond the notice header: $hit"; done < <(
    grep -rnE '#include "ui/' storage --include='*.cpp' --include='*.h' 2>/dev/null | grep -v '"ui/uPubFunc.h"')
while IFS= read -r hit; do fail "storage includes a GUI header: $hit"; done < <(
    grep -rnE "$gui" storage 2>/dev/null)
exit $status
