#!/bin/sh
# The tool refuses to render a file onto itself, by name or through a symbolic link, and leaves it intact.
# Usage: same-file.sh TOOL INPUT FOLDER
set -u
tool=$1 input=$2 folder=$3
mkdir -p "$folder"
cp "$input" "$folder/in.wav"
ln -sf in.wav "$folder/link.wav"
"$tool" "$folder/in.wav" -o "$folder/in.wav" 2>/dev/null
[ $? -eq 2 ] || { echo "same name: expected exit 2"; exit 1; }
"$tool" "$folder/in.wav" -o "$folder/link.wav" 2>/dev/null
[ $? -eq 2 ] || { echo "symbolic link: expected exit 2"; exit 1; }
cmp -s "$input" "$folder/in.wav" || { echo "the input was changed"; exit 1; }
echo "refused both, input intact"
