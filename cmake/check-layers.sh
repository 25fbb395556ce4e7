#!/bin/bash
# Fails when a file of one application layer includes a header of a layer it must not use.
# Each layer may use itself and the layers listed for it; nothing calls up a layer.
#   check-layers.sh APP_DIR
set -u
app=${1:?usage: check-layers.sh APP_DIR}
declare -A allowed=(
    [core]="core"
    [capture]="capture core"
    [link]="link core"
    [settings]="settings core"
    [convert]="convert capture link core"
    [window]="window capture link core"
    [main]="main window convert capture link settings core"
)
status=0
for layer in "${!allowed[@]}"; do
    [ -d "$app/$layer" ] || continue
    while IFS=: read -r file used; do
        if [[ " ${allowed[$layer]} " != *" $used "* ]]; then
            echo "$file: the $layer layer includes app/$used"
            status=1
        fi
    done < <(grep -oE '^#include "app/[a-z]+/' -r "$app/$layer" |
             sed -E 's#:\#include "app/([a-z]+)/#:\1#')
done
[ $status -eq 0 ] && echo "every include runs down the layers"
exit $status
