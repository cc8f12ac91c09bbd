#!/bin/sh
# Fails when the given library or object refers to an FFmpeg export directly
# instead of through the bound entry points.
set -eu
found=$(nm -u "$1" | awk '$1 == "U" && $2 ~ /^(av|sw)/ { print $2 }' | sort -u)
if [ -n "$found" ]; then
  echo "direct references to FFmpeg exports in $1:"
  echo "$found"
  exit 1
fi
echo "no direct FFmpeg references in $1"
