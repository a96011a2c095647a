#!/bin/sh
# The plug-in's object never links X11, Cairo or Pango (hosts load it without a display), each object
# exports only its LV2 entry point, and neither holds a path into the build tree (an installed plug-in must
# never load a build's resources).
# Usage: check-objects.sh PLUGIN.so EDITOR.so BUILD_DIRECTORY
set -u
plugin=$1 editor=$2 build=$3
status=0
if readelf -d "$plugin" | grep -E 'NEEDED.*(libX11|libxcb|libcairo|libpango|libfontconfig)'; then
  echo "the plug-in links display libraries"; status=1
fi
exports() { nm -D --defined-only "$1" | awk '$2 == "T" || $2 == "D" || $2 == "B" { print $3 }' |
            grep -v -E '^(_edata|_end|__bss_start)$'; }
[ "$(exports "$plugin")" = "lv2_descriptor" ] || { echo "the plug-in exports more:"; exports "$plugin"; status=1; }
[ "$(exports "$editor")" = "lv2ui_descriptor" ] || { echo "the editor exports more:"; exports "$editor"; status=1; }
for object in "$plugin" "$editor"; do
  if readelf -p .rodata "$object" | grep -F "$build"; then
    echo "$object holds a path into the build tree"; status=1
  fi
done
exit $status
