#!/usr/bin/env bash
# Builds the Debian package of the program and checks it: it unpacks into a scratch
# root with the program, the batch tool, their man pages, the batch tool's bash
# completion, a valid desktop entry, the icon and a MIME type that maps *.qmr to the
# program. Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DVOSTREL_TESTS=OFF -DVOSTREL_BENCH=OFF >/dev/null
log="$(mktemp)"
cmake --build build-package -j "$(nproc)" --target vostrel vostrel-batch vostrel-plot vostrel_documents >"$log" 2>&1 ||
  { cat "$log"; exit 1; }
(cd build-package && cpack -G DEB >/dev/null)
package="$(ls -t build-package/vostrel_*.deb | head -n 1)"

root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
dpkg -x "$package" "$root"
listing="$(dpkg-deb -c "$package")"
for f in usr/bin/vostrel usr/bin/vostrel-batch usr/bin/vostrel-plot usr/share/applications/vostrel.desktop \
  usr/share/icons/hicolor/scalable/apps/vostrel.svg usr/share/mime/packages/vostrel.xml \
  usr/share/man/man1/vostrel.1 usr/share/man/man1/vostrel-batch.1 usr/share/man/man1/vostrel-plot.1 \
  usr/share/bash-completion/completions/vostrel-batch; do
  [ -e "$root/$f" ] || { echo "package: $f is missing"; exit 1; }
  grep -q " \./$f\$" <<<"$listing" || { echo "package: $f is not in dpkg-deb -c"; exit 1; }
done
# The man pages format without a warning, and the completion is bash that completes.
for page in "$root"/usr/share/man/man1/*.1; do
  warnings="$(LC_ALL=C.UTF-8 groff -man -ww -z -K utf8 -T utf8 "$page" 2>&1)"
  [ -z "$warnings" ] || { echo "package: $(basename "$page"): $warnings"; exit 1; }
done
words="$(bash -c "source '$root/usr/share/bash-completion/completions/vostrel-batch'
  COMP_WORDS=(vostrel-batch exp); COMP_CWORD=1; _vostrel_batch; echo \"\${COMPREPLY[*]}\"")"
[ "$words" = export ] || { echo "package: the completion gives '$words' for 'vostrel-batch exp'"; exit 1; }
desktop-file-validate "$root/usr/share/applications/vostrel.desktop"
xmllint --noout "$root/usr/share/mime/packages/vostrel.xml" "$root/usr/share/icons/hicolor/scalable/apps/vostrel.svg"
# The MIME database built from the package knows *.qmr as the type the desktop entry opens.
update-mime-database "$root/usr/share/mime" >/dev/null 2>&1
grep -q "application/x-vostrel-survey:\*.qmr" "$root/usr/share/mime/globs"
grep -q "^MimeType=application/x-vostrel-survey;" "$root/usr/share/applications/vostrel.desktop"
"$root/usr/bin/vostrel-batch" --help >/dev/null
dpkg-deb --field "$package" Package Version Depends
echo "package: $package"
