#!/usr/bin/env bash
# The install tree: cmake --install of the build into a scratch prefix puts every file in its
# place, the desktop entry and the metainfo validate where the validators are installed, the
# manual pages render without warnings, and the installed kxta runs from there.
#   check-install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
fail=0
for f in bin/kxta bin/kxta-sim bin/kxta-config share/applications/kxta-config.desktop \
         share/icons/hicolor/scalable/apps/kxta-config.svg share/metainfo/io.github.kxta_config.metainfo.xml \
         share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/kxta-config.png \
         share/mime/packages/kxta-config.xml \
         share/kxta-config/done.wav share/kxta-config/disconnect.wav share/kxta-config/README.md \
         share/man/man1/kxta.1.gz share/man/man1/kxta-sim.1.gz share/man/man1/kxta-config.1.gz \
         share/doc/kxta-config/copyright share/doc/kxta-config/changelog.gz \
         share/bash-completion/completions/{kxta,kxta-sim,kxta-config} \
         lib/systemd/user/kxta-backup.service lib/systemd/user/kxta-backup.timer; do
  [[ -e "$prefix/$f" ]] || { echo "missing: $f"; fail=1; }
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/kxta-config.desktop" || fail=1
else
  echo "desktop-file-validate not installed: desktop entry not validated"
fi
if command -v appstreamcli >/dev/null; then
  # validate-tree also holds the metainfo's file name against its component id.
  appstreamcli validate-tree --no-net "$prefix" >/dev/null ||
    { appstreamcli validate-tree --no-net "$prefix"; fail=1; }
fi
# Catches a placeholder address or homepage shipped to software centres.
if grep -rl 'example\.invalid' "$prefix/share/metainfo" "$prefix/share/applications"; then
  echo "placeholder address installed"; fail=1
fi
# Catches a copyright file without the CLI11 compiled into kxta, whose notice binaries carry.
{ grep -q '^License: BSD-3-clause' "$prefix/share/doc/kxta-config/copyright" &&
  grep -q 'Redistributions in binary form must reproduce' "$prefix/share/doc/kxta-config/copyright"; } ||
  { echo "copyright lacks the CLI11 notice"; fail=1; }
if command -v man >/dev/null; then
  for m in "$prefix"/share/man/man1/*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$m" 2>&1 >/dev/null || true)
    [[ -z "$warnings" ]] || { echo "$m: $warnings"; fail=1; }
  done
fi
# The nightly backup's service runs the kxta of this installation.
exec_start=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$prefix/lib/systemd/user/kxta-backup.service")
[[ "$exec_start" == "$prefix/bin/kxta" ]] || { echo "kxta-backup.service runs $exec_start"; fail=1; }
bash -n "$prefix/share/bash-completion/completions/kxta" || fail=1
"$prefix/bin/kxta" --version | grep -q '^kxta ' || { echo "installed kxta --version failed"; fail=1; }
(cd "$prefix" && HOME="$prefix" "$prefix/bin/kxta" read --port demo -o "$prefix/demo.ta" \
  >/dev/null 2>&1) || { echo "installed kxta read --port demo failed"; fail=1; }
[[ -s "$prefix/demo.ta" ]] || { echo "installed kxta wrote no data file"; fail=1; }
# Installed, the programs keep their state in the user's folders, not beside themselves (the
# prefix here is writable, as /usr/bin is for root).
journal=$(env -u KXTA_JOURNAL -u XDG_STATE_HOME HOME="$prefix/home" "$prefix/bin/kxta" journal)
[[ "$journal" == *"$prefix/home/.local/state/kxta-config/uploads.journal"* ]] ||
  { echo "installed kxta keeps its journal elsewhere: $journal"; fail=1; }
[[ ! -e "$prefix/bin/TALVEN.INI" && ! -e "$prefix/bin/Error.log" ]] ||
  { echo "installed kxta wrote beside itself"; fail=1; }
exit $fail
