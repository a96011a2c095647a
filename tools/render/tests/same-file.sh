#!/bin/sh
# The tool refuses to render onto its input or its automation file, by name or through a symbolic or hard
# link, and leaves them intact.
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
printf '0 mix 50\n' > "$folder/moves.txt"
ln -f "$folder/moves.txt" "$folder/moves-link.txt"
"$tool" "$folder/in.wav" --automation "$folder/moves.txt" -o "$folder/moves.txt" 2>/dev/null
[ $? -eq 2 ] || { echo "automation file: expected exit 2"; exit 1; }
"$tool" --automation "$folder/moves.txt" -o "$folder/moves-link.txt" 2>/dev/null
[ $? -eq 2 ] || { echo "automation file through a hard link: expected exit 2"; exit 1; }
[ "$(cat "$folder/moves.txt")" = "0 mix 50" ] || { echo "the automation file was changed"; exit 1; }
echo "refused all, input and automation intact"
