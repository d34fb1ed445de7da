#!/bin/bash
# SPDX-License-Identifier: MIT
# Builds the Debian packages of a build tree and holds them to Debian's standard: the packages
# made are the ones named, each passes lintian without an error or a warning, its programs
# hardened, its changelog and copyright in its own /usr/share/doc; no file is in two of them;
# bexen-ports depends on nothing of Qt, X or fonts, and the panel on bexen-ports of the same
# release; the AppStream entry and the desktop entry validate; the manual pages render without a
# complaint from groff, and bexen-ports(1) shows every command and option that the packaged
# bexen-ports' --help shows, whatever that help looks like.
# Exit 0 passed, 1 failed, 77 skipped (a checking tool is not installed).
#   deb_check.sh BUILD_DIR VERSION PACKAGE...   (bexen-ports, and bexen-semaphores with the panel)
set -u

usage="usage: deb_check.sh BUILD_DIR VERSION PACKAGE..."
build=${1:?$usage}
version=${2:?$usage}
shift 2
packages=("$@")
((${#packages[@]} > 0)) || { echo "$usage"; exit 1; }
for need in cpack:cmake dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev lintian:lintian \
    appstreamcli:appstream desktop-file-validate:desktop-file-utils man:man-db groff:groff-base; do
    if ! command -v "${need%%:*}" >/dev/null 2>&1; then
        echo "SKIP: ${need%%:*} is not installed (Debian package ${need#*:})"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack could not make the package"
    exit 1
fi
arch=$(dpkg --print-architecture)
made=$(cd "$work/out" && ls -- *.deb | sort | tr '\n' ' ')
expected=$(printf "%s_${version}_$arch.deb\n" "${packages[@]}" | sort | tr '\n' ' ')
[ "$made" = "$expected" ] || { echo "FAIL: cpack made '$made', not '$expected'"; exit 1; }
has() { [[ " ${packages[*]} " == *" $1 "* ]]; }
deb() { echo "$work/out/$1_${version}_$arch.deb"; }

# lintian says that it runs as root on stderr; its findings go to stdout.
lintian --display-info "$work"/out/*.deb >"$work/lintian" 2>/dev/null
cat "$work/lintian"
grep -q '^[EW]: ' "$work/lintian" && fail "lintian reports errors or warnings (above)"
# Built as Debian builds its own programs: relocations read-only and bound at start-up.
grep -E '^I: .*hardening-no-(relro|bindnow|pie) ' "$work/lintian" &&
    fail "the programs are built without Debian's hardening (above)"

for package in "${packages[@]}"; do
    root=$work/root/$package
    mkdir -p "$root"
    dpkg-deb -x "$(deb "$package")" "$root"
    section=$(dpkg-deb -f "$(deb "$package")" Section)
    case $section in
        electronics | education) ;;
        *) fail "$package: section is \"$section\", not electronics or education" ;;
    esac
    [ -f "$root/usr/share/doc/$package/copyright" ] || fail "$package has no /usr/share/doc/$package/copyright"
    zcat "$root/usr/share/doc/$package/changelog.gz" | head -n 1 |
        grep -qx "bexen-semaphores ($version) unstable; urgency=medium" ||
        fail "$package: changelog.gz does not begin with the entry for $version"
    dpkg-deb --fsys-tarfile "$(deb "$package")" | tar -t | grep -v '/$' >>"$work/files"
done
shared=$(sort "$work/files" | uniq -d)
[ -z "$shared" ] || fail "in two packages at once, which dpkg refuses to install together: $shared"

# The tool installs where no desktop is, such as an autograder's image.
ports_needs=$(dpkg-deb -f "$(deb bexen-ports)" Depends Pre-Depends Recommends)
grep -iE 'qt|libx|x11|xcb|wayland|libgl|egl|font' <<<"$ports_needs" &&
    fail "bexen-ports needs a package of a desktop (above)"
if has bexen-semaphores; then
    dpkg-deb -f "$(deb bexen-semaphores)" Depends | tr ',' '\n' | grep -qx " *bexen-ports (= $version)" ||
        fail "bexen-semaphores does not depend on bexen-ports (= $version)"
    root=$work/root/bexen-semaphores
    metainfo=$root/usr/share/metainfo/bexen-semaphores.metainfo.xml
    appstreamcli validate --no-net "$metainfo" >"$work/appstream" 2>&1 ||
        fail "appstreamcli validate --no-net: $(cat "$work/appstream")"
    desktop=$root/usr/share/applications/invalid.bexen.semaphores.desktop
    said=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $said"
    # The software centre finds the desktop entry by the metainfo's id and its launchable.
    grep -q '<id>invalid.bexen.semaphores</id>' "$metainfo" || fail "the metainfo's id is not the desktop entry's name"
    grep -q '<launchable type="desktop-id">invalid.bexen.semaphores.desktop</launchable>' "$metainfo" ||
        fail "the metainfo does not launch invalid.bexen.semaphores.desktop"
fi

# A page as a reader sees it, on one line: no hyphenation, no bold by overstriking, and the
# UTF-8 dashes and quotes groff prints given back as the ASCII that --help prints.
render() {
    LC_ALL=C.UTF-8 MANWIDTH=100 MANPAGER=cat man --no-hyphenation --no-justification -l "$1" |
        sed 's/.\x08//g; s/\xe2\x80\x90/-/g; s/\xe2\x88\x92/-/g; s/\xe2\x80\x99/'"'"'/g; s/\xe2\x80\x98/`/g'
}
one_line() { tr -s ' \t\n' '   '; }

for package in "${packages[@]}"; do
    page=$package
    file=$work/root/$package/usr/share/man/man1/$page.1.gz
    [ -f "$file" ] || { fail "$page(1) is not in the package $package"; continue; }
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page(1): groff says: $warnings"
    render "$file" >"$work/$page.txt"
    grep -q '^NAME' "$work/$page.txt" || fail "$page(1) renders without a NAME section"
done

if has bexen-semaphores; then
    panel_page=$(one_line <"$work/bexen-semaphores.txt")
    for words in "emu_port.dat" "TMPDIR" "ports 160 to 163" "port 150" "bexen-ports(1)"; do
        [[ $panel_page == *"$words"* ]] || fail "bexen-semaphores(1) does not mention $words"
    done
fi

# Every line of the packaged program's help that names a command or an option, with its text,
# must be on the page: the main --help, then each command's own.
ports=$work/root/bexen-ports/usr/bin/bexen-ports
ports_page=$(one_line <"$work/bexen-ports.txt")
"$ports" --help >"$work/help.main" || fail "bexen-ports --help failed"
commands=$(sed -n '/^[A-Za-z ]*[Cc][Oo][Mm][Mm][Aa][Nn][Dd][Ss]:/,/^ *$/p' "$work/help.main" |
    sed -n 's/^  \{1,3\}\([a-z][a-z0-9_-]*\).*/\1/p')
[ -n "$commands" ] || fail "no commands found in bexen-ports --help"
helps=("$work/help.main")
for command in $commands; do
    "$ports" "$command" --help >"$work/help.$command" || fail "bexen-ports $command --help failed"
    helps+=("$work/help.$command")
done
checked=0
for help in "${helps[@]}"; do
    # Items: an indented command or option, a gap of two blanks or more, its text.
    while IFS= read -r item; do
        entry=$(printf '%s\n' "$item" | one_line | sed 's/^ //; s/ $//')
        [[ $ports_page == *"$entry"* ]] || fail "bexen-ports(1) lacks \"$entry\" ($(basename "$help"))"
        checked=$((checked + 1))
    done < <(grep -E '^ {1,8}[^ ].*[^ ]  +[^ ]' "$help" |
        grep -E "^ +(-|($(echo $commands | tr ' ' '|'))( |$))")
    for option in $(grep -oE -- '--[a-z][a-z0-9-]*' "$help" | sort -u); do
        grep -qwF -e "$option" "$work/bexen-ports.txt" || fail "bexen-ports(1) lacks $option"
        checked=$((checked + 1))
    done
done
echo "bexen-ports(1): $checked items and options of --help checked"

((failures == 0)) || exit 1
echo "PASS: $made"
