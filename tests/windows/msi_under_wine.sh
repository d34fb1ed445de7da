#!/bin/bash
# SPDX-License-Identifier: MIT
# The MSI as an administrator deploys it: every text in it and in the zip (README.txt,
# LICENSE.txt, the scenarios, the autograder recipes) with Windows line ends; installed silently
# into a fresh Wine prefix, the panel under Program Files passes the window and picture checks
# and the Start menu has its shortcut; a later version replaces it; removed silently, nothing of
# it is left.
#   msi_under_wine.sh MSI ZIP WIN_PANEL_TEST.exe [STAGE]
# STAGE: the directory the MSI was built in, from which a later version is built to upgrade to.
# Exit 0 passed, 1 failed, 77 skipped (no display to run the panel on).
set -u

msi=${1:?usage: msi_under_wine.sh MSI ZIP WIN_PANEL_TEST.exe}
zip=${2:?usage: msi_under_wine.sh MSI ZIP WIN_PANEL_TEST.exe}
panel_test=${3:?usage: msi_under_wine.sh MSI ZIP WIN_PANEL_TEST.exe}
stage=${4:-$(dirname "$msi")/msi}
fail() {
    echo "FAIL: $*"
    exit 1
}
[ -f "$msi" ] || fail "$msi: no such file"
[ -f "$zip" ] || fail "$zip: no such file (scripts/test-windows.sh makes it with cpack -G ZIP)"

work=$(mktemp -d)
cleanup() {
    [ -d "$work/prefix" ] && WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

# Every line of every text in either ends in CR LF, as Notepad before Windows 10 1809 needs;
# the autograder's shell scripts run on Linux, where a CR would end up in their commands, so
# theirs end in LF alone.
mkdir -p "$work/zip" "$work/msi"
unzip -q "$zip" -d "$work/zip" || fail "cannot unpack $zip"
msiextract -C "$work/msi" "$msi" >/dev/null || fail "cannot unpack $msi"
for package in zip msi; do
    texts=0
    while IFS= read -r -d '' file; do
        grep -Iq . "$file" || continue
        name=${file#"$work/$package/"}
        lines=$(grep -c '' "$file")
        if head -c 2 "$file" | grep -q '^#!'; then
            [ "$(grep -c $'\r' "$file")" -eq 0 ] || fail "the $package's script $name has CRs"
        else
            bare=$(grep -c -v $'\r$' "$file")
            [ "$bare" -eq 0 ] || fail "the $package's $name: $bare of its $lines lines end without a CR"
        fi
        texts=$((texts + 1))
    done < <(find "$work/$package" -type f -print0)
    for name in README.txt LICENSE.txt; do
        [ -n "$(find "$work/$package" -name "$name")" ] || fail "the $package has no $name"
    done
    echo "the $package: $texts texts checked"
done
scenarios=$(find "$work/zip" -path '*/scenarios/*.txt' | wc -l)
[ "$scenarios" -gt 0 ] || fail "the zip has no scenarios/*.txt"
[ -n "$(find "$work/zip" -path '*/autograder/github/classroom.yml')" ] || fail "the zip has no autograder recipes"

if [ -z "${DISPLAY:-}" ]; then
    echo "SKIP: no DISPLAY (scripts/test-windows.sh sets one)"
    exit 77
fi

# A prefix of its own, as a machine that has never had the panel.
export WINEPREFIX="$work/prefix"
wineboot -i </dev/null >"$work/wineboot.log" 2>&1 || fail "no fresh prefix: $(tail -n 5 "$work/wineboot.log")"
drive=$WINEPREFIX/drive_c
installed="$drive/Program Files/Bexen Semaphores"
# A per-machine install puts the shortcut in the Start menu of all users; Wine 8's msiexec puts it
# in the installing user's, so either is taken, and neither may be left behind.
shortcuts() { find "$drive/ProgramData" "$drive/users" -path '*/Start Menu/Programs/Bexen Semaphores.lnk' 2>/dev/null; }
product=$(msiinfo export "$msi" Property | sed -n 's/^ProductCode\t\(.*\)\r\?$/\1/p' | tr -d '\r')
[ -n "$product" ] || fail "the MSI names no ProductCode"
entry="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"

wine msiexec /i "$(winepath -w "$msi")" /qn </dev/null >"$work/install.log" 2>&1 ||
    fail "msiexec /i failed: $(tail -n 5 "$work/install.log")"
got=$(cd "$installed" 2>/dev/null && ls | sort | tr '\n' ' ')
[ "$got" = "LICENSE.txt README.txt bexen-ports.exe bexen-semaphores.exe " ] ||
    fail "Program Files/Bexen Semaphores holds '$got'"
[ -n "$(shortcuts)" ] || fail "no Start menu shortcut (shortcuts: $(find "$drive" -name '*.lnk' | tr '\n' ' '))"
wine reg query "$entry" </dev/null >"$work/entry.txt" 2>&1 || fail "no Programs and Features entry $entry"
grep -q 'DisplayVersion.*1\.0\.0' "$work/entry.txt" || fail "the entry has no DisplayVersion 1.0.0: $(cat "$work/entry.txt")"
# Programs and Features shows the icon that Windows Installer registers with the product
# (ProductIcon, from ARPPRODUCTICON), copied into the system's installer cache.
icon=$(wine reg query 'HKLM\Software\Classes\Installer\Products' /s </dev/null 2>/dev/null |
    sed -n 's/^ *ProductIcon *REG_SZ *\(.*bexen_semaphores\.ico\)\r\?$/\1/p' | tr -d '\r')
[ -n "$icon" ] && [ -f "$(winepath -u "$icon" 2>/dev/null)" ] || fail "no product icon registered ('$icon')"

# The installed programs, through the same checks as the built ones.
BEXEN_PROGRAM_DIR='C:\Program Files\Bexen Semaphores' wine "$panel_test" \
    --gtest_filter='Dpi/PanelLayout.*/96dpi:PanelPictures.NineLightPicturesAreTheLampTableAndFollowTheirPorts' \
    </dev/null >"$work/panel.log" 2>&1 || fail "the installed panel: $(grep -E 'Failure|FAILED|Expected|Which' "$work/panel.log" | head -n 20)"
grep -q '\[  PASSED  \] 2 tests' "$work/panel.log" || fail "the installed panel's checks did not all run: $(tail -n 5 "$work/panel.log")"

# A later version, made from the same files, replaces this one: one entry, the new version's.
(cd "$stage" && wixl -a x64 -D Version=1.0.1 -o "$work/later.msi" bexen-semaphores.wxs) >"$work/wixl.log" 2>&1 ||
    fail "no later MSI from $stage: $(tail -n 5 "$work/wixl.log")"
later=$(msiinfo export "$work/later.msi" Property | sed -n 's/^ProductCode\t\(.*\)\r\?$/\1/p' | tr -d '\r')
wine msiexec /i "$(winepath -w "$work/later.msi")" /qn </dev/null >"$work/upgrade.log" 2>&1 ||
    fail "msiexec /i of 1.0.1 failed: $(tail -n 5 "$work/upgrade.log")"
! wine reg query "$entry" </dev/null >/dev/null 2>&1 || fail "1.0.0's Programs and Features entry outlived the upgrade"
entry="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$later"
wine reg query "$entry" </dev/null 2>/dev/null | grep -q 'DisplayVersion.*1\.0\.1' || fail "no 1.0.1 entry after the upgrade"
[ "$(shortcuts | wc -l)" -eq 1 ] || fail "after the upgrade the shortcuts are '$(shortcuts)'"

wine msiexec /x "$(winepath -w "$work/later.msi")" /qn </dev/null >"$work/remove.log" 2>&1 ||
    fail "msiexec /x failed: $(tail -n 5 "$work/remove.log")"
[ ! -e "$installed" ] || fail "left behind: $(find "$installed" | tr '\n' ' ')"
[ -z "$(shortcuts)" ] || fail "the Start menu shortcut is left behind: $(shortcuts)"
! wine reg query "$entry" </dev/null >/dev/null 2>&1 || fail "the Programs and Features entry is left behind"
[ ! -e "$(winepath -u "$icon")" ] || fail "the product icon $icon is left behind"

echo "PASS: the zip's and the MSI's texts end their lines in CR LF; it installs, runs and uninstalls silently"
