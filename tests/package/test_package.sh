#!/usr/bin/env bash
# The Debian package as a site gets it, built with cpack from the programs of
# the build tree (nothing is compiled again): its control data, its files and
# where they go, lintian, the desktop and AppStream validators, and its own
# krodalin-db, unpacked, preparing and reading a throw-away program folder.
#   test_package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail cpack; }
deb=$work/krodalin_${version}_amd64.deb
[ -f "$deb" ] || fail "cpack made no $deb"

# Control data: the name, version and architecture; the libraries shlibdeps
# found and the packages the program loads at run time; the maintainer scripts.
info=$(dpkg-deb -I "$deb")
echo "$info"
for field in "Package: krodalin" "Version: $version" "Architecture: amd64"; do
  grep -qx " $field" <<<"$info" || fail "no \"$field\""
done
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
for need in libc6 libqt6core6 libqt6widgets6 libqt6sql6 libqt6serialport6 libqt6printsupport6 libqt6charts6 libpq5 libsqlite3-0 \
            libqt6sql6-sqlite libqt6sql6-psql qt6-translations-l10n fonts-liberation2 adduser; do
  grep -Eq "(^|, )$need( |,|$)" <<<"$depends" || fail "Depends lacks $need: $depends"
done
members=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sort | tr '\n' ' ')
[ "$members" = "./control ./md5sums ./postinst ./postrm " ] || fail "control members: $members"

# Every file, its mode and owner, every link and where it leads: the program's
# folder links into the site's, which the package itself never holds.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { $3 = $4 = $5 = ""; print }' | tr -s ' ' | sort -k3 >"$work/files"
cat >"$work/expected" <<'LIST'
-rwxr-xr-x root/root ./usr/bin/krodalin
-rwxr-xr-x root/root ./usr/bin/krodalin-db
lrwxrwxrwx root/root ./usr/bin/krodalin-indicator-sim -> ../lib/krodalin/indicator-sim
lrwxrwxrwx root/root ./usr/lib/krodalin/data -> /var/lib/krodalin/data
lrwxrwxrwx root/root ./usr/lib/krodalin/database.ini -> /var/lib/krodalin/database.ini
-rwxr-xr-x root/root ./usr/lib/krodalin/indicator-sim
-rwxr-xr-x root/root ./usr/lib/krodalin/krodalin
-rwxr-xr-x root/root ./usr/lib/krodalin/krodalin-db
lrwxrwxrwx root/root ./usr/lib/krodalin/tools.ini -> /var/lib/krodalin/tools.ini
-rw-r--r-- root/root ./usr/share/applications/org.example.krodalin.desktop
-rw-r--r-- root/root ./usr/share/doc/krodalin/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/krodalin/copyright
-rw-r--r-- root/root ./usr/share/icons/hicolor/128x128/apps/krodalin.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/krodalin.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/krodalin.svg
-rw-r--r-- root/root ./usr/share/man/man1/krodalin-db.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/krodalin-indicator-sim.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/krodalin.1.gz
-rw-r--r-- root/root ./usr/share/metainfo/org.example.krodalin.metainfo.xml
LIST
diff -u "$work/expected" "$work/files" || fail "the package's files differ from the list above"

# Neither error nor warning (an override would have to say why).
lintian --fail-on error,warning "$deb" || fail lintian

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/org.example.krodalin.desktop" || fail desktop-file-validate
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.example.krodalin.metainfo.xml" || fail appstreamcli

# The unpacked tool prepares a new folder, under the starters' umask, for the
# whole group, and reads its (empty) trail.
db=$work/root/usr/lib/krodalin/krodalin-db
site=$work/site
grep -qx 'umask 002' "$work/root/usr/bin/krodalin-db" || fail "the starter sets no umask 002"
out=$(umask 002 && "$db" init "$site" --admin "Администратор" --admin-password admin \
        --operator "Иванов Иван Иванович" --operator-password 1111)
[ "$out" = "Таблицы созданы: $site/data/WE.sqlite" ] || fail "init said: $out"
mode=$(stat -c %A "$site/data/WE.sqlite")
[ "$mode" = "-rw-rw-r--" ] || fail "the new journal is $mode"
out=$("$db" audit "$site") || fail "audit failed"
[ -z "$out" ] || fail "a new journal's trail: $out"
out=$("$db" init "$site")
[ "$out" = "Все таблицы уже есть: $site/data/WE.sqlite" ] || fail "init again said: $out"
echo "package test passed: $deb"
