#!/usr/bin/env bash
# Builds the delivery folder that the setup wizard runs from, and a tarball of it.
#   make_dist.sh OUT_DIR --pelmoray F --regsvr F --engine F --kestrinctl F --www DIR [--fenwix F]
# OUT_DIR/kestrin-setup/ receives the wizard, the registration program, the site archives,
# dll.zip with the engine, the three database files with the demo catalog, the accounting
# component installer and README.txt; OUT_DIR/kestrin-setup.tar.gz packs the folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
shift
fenwix=""
while [ $# -gt 0 ]; do
  case $1 in
    --pelmoray) pelmoray=$2 ;;
    --regsvr) regsvr=$2 ;;
    --engine) engine=$2 ;;
    --kestrinctl) kestrinctl=$2 ;;
    --www) www=$2 ;;
    --fenwix) fenwix=$2 ;;
    *) echo "make_dist.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done

mkdir -p "$out"
work=$(mktemp -d "$out/.dist-XXXXXX")
trap 'rm -rf "$work"' EXIT
delivery="$work/kestrin-setup"
mkdir -p "$delivery" "$work/stage"

# Each archive holds the files of one folder (the wizard extracts them without folders).
zip_files() {  # archive, then files
  local archive=$1
  shift
  if [ $# -eq 0 ]; then
    echo "make_dist.sh: nothing to put into $archive" >&2
    exit 1
  fi
  zip -q -j -X "$delivery/$archive" "$@"
}
files_in() { find "$1" -maxdepth 1 -type f | LC_ALL=C sort; }

mapfile -t root < <(files_in "$www")
zip_files root.zip "${root[@]}"
mapfile -t images < <(files_in "$www/images")
zip_files images.zip "${images[@]}"
mapfile -t special < <(files_in "$www/images/special")
zip_files specialimages.zip "${special[@]}"
mapfile -t admin < <(files_in "$here/site/admin")
zip_files admin.zip "${admin[@]}"
mapfile -t editor < <(files_in "$here/site/htmlarea")
zip_files htmlarea.zip "${editor[@]}"
/usr/bin/python3 "$here/make_editor_images.py" "$work/stage/editor-images"
mapfile -t editorImages < <(files_in "$work/stage/editor-images")
zip_files htmlareaimages.zip "${editorImages[@]}"
mapfile -t popups < <(files_in "$here/site/htmlarea/popups")
zip_files htmlareapopups.zip "${popups[@]}"
cp -L "$engine" "$work/stage/libkestrin.so"
zip_files dll.zip "$work/stage/libkestrin.so"

# The databases with the demo catalog, as single files (no write-ahead log beside them).
"$kestrinctl" site create "$work/stage/site" --site kestrin --password delivery --demo >/dev/null
for pair in kestrin:kestrin_data.mdf:kestrin_log.ldf ingram:ingramtemp_data.mdf:ingram_log.ldf \
            techdata:tdtemp_data.mdf:techdata_log.ldf; do
  IFS=: read -r name data log <<<"$pair"
  sqlite3 "$work/stage/site/$name.db" "PRAGMA journal_mode=DELETE;" >/dev/null
  cp "$work/stage/site/$name.db" "$delivery/$data"
  : >"$delivery/$log"
done

cp "$pelmoray" "$delivery/pelmoray"
cp "$regsvr" "$delivery/kestrin-regsvr"
cp "$here/qbfc2_1Installer.exe" "$delivery/qbfc2_1Installer.exe"
chmod +x "$delivery/qbfc2_1Installer.exe"
[ -n "$fenwix" ] && cp "$fenwix" "$delivery/Fenwix"
cp "$here/delivery_readme.txt" "$delivery/README.txt"

tar -czf "$work/kestrin-setup.tar.gz" -C "$work" kestrin-setup
rm -rf "$out/kestrin-setup" "$out/kestrin-setup.tar.gz"
mv "$delivery" "$out/kestrin-setup"
mv "$work/kestrin-setup.tar.gz" "$out/kestrin-setup.tar.gz"
echo "make_dist.sh: delivery in $out/kestrin-setup and $out/kestrin-setup.tar.gz"
