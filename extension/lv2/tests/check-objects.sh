#!/bin/sh
# The plug-in's object never links X11, Cairo or Pango (hosts load it without a display), and each object
# exports only its LV2 entry point.
# Usage: check-objects.sh PLUGIN.so EDITOR.so
set -u
plugin=$1 editor=$2
status=0
if readelf -d "$plugin" | grep -E 'NEEDED.*(libX11|libxcb|libcairo|libpango|libfontconfig)'; then
  echo "the plug-in links display libraries"; status=1
fi
exports() { nm -D --defined-only "$1" | awk '$2 == "T" || $2 == "D" || $2 == "B" { print $3 }' |
            grep -v -E '^(_edata|_end|__bss_start)$'; }
[ "$(exports "$plugin")" = "lv2_descriptor" ] || { echo "the plug-in exports more:"; exports "$plugin"; status=1; }
[ "$(exports "$editor")" = "lv2ui_descriptor" ] || { echo "the editor exports more:"; exports "$editor"; status=1; }
exit $status
