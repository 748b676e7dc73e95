#!/bin/sh
# Starts the installed Zelmor workstation for the user who calls it.
#
# The program keeps its settings (conf/), database (db/), log (zelmor.log),
# measurement files and instrument data files beside itself, in its program
# folder. The shipped folder @ZELMOR_SHIPPED@ belongs to root, so every user
# gets a program folder of their own in the data folder
# (${XDG_DATA_HOME:-~/.local/share}/zelmor): the settings files are copied there
# once and then belong to the user; templates and the manual are linked, so a
# package update reaches them unless the user replaced them with own files.
set -eu

# ZELMOR_SHIPPED_DIR points a test at another shipped folder.
shipped="${ZELMOR_SHIPPED_DIR:-@ZELMOR_SHIPPED@}"
folder="${XDG_DATA_HOME:-$HOME/.local/share}/zelmor"

mkdir -p "$folder/conf" "$folder/db"
for source in "$shipped"/conf/*; do
  [ -e "$source" ] || continue
  target="$folder/conf/$(basename "$source")"
  case "$source" in
    *.ini) [ -e "$target" ] || cp "$source" "$target" ;;
    *) if [ ! -e "$target" ] || [ -L "$target" ]; then ln -sfn "$source" "$target"; fi ;;
  esac
done
for name in zm_manual.doc zm_manual.pdf; do
  if [ -e "$shipped/$name" ]; then ln -sfn "$shipped/$name" "$folder/$name"; fi
done

export ZELMOR_PROGRAM_DIR="$folder"
# The instrument's per-variable data files go below the same folder.
export ZELMOR_DATA_ROOT="${ZELMOR_DATA_ROOT:-$folder}"
cd "$folder"
exec "$shipped/zelmor" "$@"
