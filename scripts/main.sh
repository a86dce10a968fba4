#!/usr/bin/env bash
# The main job: build everything (release), make the sample product's
# installer with norvex-pack, install the product into a sandbox root and show
# what was installed: files, registry keys, desktop entries. With a display
# the installer's wizard opens; without one the installation runs unattended
# and the wizard's pages are rendered into docs/screenshots/ under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh release

build=build/release
installer=$build/examples/LabelPrintSetup
reg=$build/tools/reg/norvex-reg
[ -x "$installer" ] || { echo "main: $installer was not built" >&2; exit 1; }

# Everything the installer touches goes below this folder, never the real home,
# /opt, /etc or /var.
export NORVEX_ROOT=$PWD/$build/main-root
rm -rf "$NORVEX_ROOT"
mkdir -p "$NORVEX_ROOT"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "== Opening the wizard of: $installer   (NORVEX_ROOT=$NORVEX_ROOT)"
  "$installer" || echo "main: the wizard was closed without installing"
else
  echo "== Installing with: $installer -silent   (NORVEX_ROOT=$NORVEX_ROOT)"
  "$installer" -silent
  echo
  echo "== Screenshots of the wizard"
  bash scripts/screenshots.sh release
fi

echo
echo "== Files"
(cd "$NORVEX_ROOT" && find . -type f ! -path './var/lib/norvex/registry/*' ! -path '*/norvex/registry/*' \
  -printf '%M %9s  %p\n' | sed 's|  \./|  |' | sort -k3)

echo
echo "== Registry"
for key in 'HKCU\Software\Tessaly\LabelPrint' 'HKCR\.tlp' 'HKCR\Tessaly.LabelPrint' \
           'HKLM\SOFTWARE\Tessaly\LabelPrint' \
           'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\LabelPrint'; do
  "$reg" export "$key" | grep -v '^Windows Registry Editor' | sed '/^$/d'
done

echo
echo "== Desktop entries"
find "$NORVEX_ROOT" -name '*.desktop' | sort | while read -r entry; do
  echo "-- ${entry#"$NORVEX_ROOT"/}"
  cat "$entry"
done

echo
echo "== The installed product"
program=$(find "$NORVEX_ROOT" -type f -name LabelPrint -perm -u+x | head -n1)
template=$(find "$NORVEX_ROOT" -type f -name sample.tlp | head -n1)
if [ -z "$program" ]; then
  echo "(not installed)"
  exit 0
fi
"$program" "$template"
