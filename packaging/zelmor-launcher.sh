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
#
# Results, the log and the settings are the user's alone: the folder is kept
# at mode 0700 and the program writes its files unreadable to others. A folder
# that belongs to another account is refused rather than used: its owner could
# read or change what the program stores there.
set -eu

refuse() {
  echo "zelmor: $*" >&2
  exit 1
}

# ZELMOR_SHIPPED_DIR points a test at another shipped folder.
shipped="${ZELMOR_SHIPPED_DIR:-@ZELMOR_SHIPPED@}"
if [ -n "${XDG_DATA_HOME:-}" ]; then
  case "$XDG_DATA_HOME" in
    /*) data_home="$XDG_DATA_HOME" ;;
    *) refuse "XDG_DATA_HOME must be an absolute path, not '$XDG_DATA_HOME'" ;;
  esac
else
  case "${HOME:-}" in
    /*) data_home="$HOME/.local/share" ;;
    *) refuse "HOME is not an absolute path ('${HOME:-}'): cannot place the program folder" ;;
  esac
fi
folder="$data_home/zelmor"

umask 077
mkdir -p "$folder" || refuse "cannot create the program folder $folder"
[ -d "$folder" ] || refuse "$folder is not a folder"
[ -O "$folder" ] || refuse "$folder belongs to another account; move it away or set XDG_DATA_HOME"
# A folder made by an earlier version is open to every account: close it.
chmod 0700 "$folder"
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
