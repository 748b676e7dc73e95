#!/usr/bin/env bash
# Makes the operator's manual docs/manual/zm_manual.doc and .pdf from
# docs/manual/zm_manual.html, after making its pictures in docs/screenshots
# anew from the running program against the simulator (zelmor-screenshots,
# about four minutes; --keep-screenshots uses the pictures as they are). The
# generated files are committed, so building and installing the program never
# needs the word processor; run this after changing the manual or the screens
# it shows. Needs LibreOffice Writer (libreoffice-writer-nogui) and python3;
# scripts/install-deps.sh installs them with ZELMOR_MANUAL_TOOLS=1. The
# program is built in ZELMOR_BUILD_DIR (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."

screenshots=1
case "${1:-}" in
  --keep-screenshots) screenshots=0 ;;
  "") ;;
  *) echo "usage: $0 [--keep-screenshots]" >&2; exit 2 ;;
esac

source=docs/manual/zm_manual.html
out=docs/manual
office=$(command -v libreoffice || command -v soffice || true)
if [ -z "$office" ]; then
  echo "LibreOffice not found: run ZELMOR_MANUAL_TOOLS=1 scripts/install-deps.sh" >&2
  exit 1
fi

if [ "$screenshots" = 1 ]; then
  build=${ZELMOR_BUILD_DIR:-build}
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
  fi
  cmake --build "$build" --target zelmor-screenshots
  QT_QPA_PLATFORM=offscreen "$build/tools/screenshots/zelmor-screenshots" docs/screenshots
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The pictures go into the document itself: a .doc made from an HTML page
# would otherwise only link to them.
python3 - "$source" "$work/zm_manual.html" <<'PY'
import base64, pathlib, re, sys
source, target = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
html = source.read_text(encoding="utf-8")
def inline(match):
    path = (source.parent / match.group(1)).resolve()
    data = base64.b64encode(path.read_bytes()).decode()
    return 'src="data:image/png;base64,' + data + '"'
target.write_text(re.sub(r'src="([^"]+\.png)"', inline, html), encoding="utf-8")
PY

profile="file://$work/profile"
"$office" -env:UserInstallation="$profile" --headless --infilter="HTML (StarWriter)" \
  --convert-to 'doc:MS Word 97' --outdir "$work" "$work/zm_manual.html" >/dev/null
"$office" -env:UserInstallation="$profile" --headless --infilter="HTML (StarWriter)" \
  --convert-to 'pdf:writer_pdf_Export' --outdir "$work" "$work/zm_manual.html" >/dev/null
cp "$work/zm_manual.doc" "$work/zm_manual.pdf" "$out/"
echo "Made $out/zm_manual.doc and $out/zm_manual.pdf"
