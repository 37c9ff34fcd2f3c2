#!/usr/bin/env bash
# The Debian package as a user gets it: cpack builds it in the build folder, apt-get installs it,
# and an ordinary user (not root) runs the installed programs on the installed sample period.
# Checks what the package holds, that the user's runs leave /usr untouched, the desktop entry,
# the metainfo, the man pages and the completion as installed. With ORVA_PACKAGE_WINDOW_TEST=1
# it also runs the installed window under Xvfb and looks for its side files in that user's XDG
# folders. Removes the package afterwards unless it was installed before (ORVA_PACKAGE_KEEP=1
# keeps it). It installs a package and may create a user, so it runs only when asked with
# ORVA_PACKAGE_TEST=1 (scripts/run-tests.sh), as root: skipped (77) otherwise, and where there
# is no dpkg.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ "${ORVA_PACKAGE_TEST:-0}" = 1 ] ||
    { echo "SKIP: installs the package and creates a user; ORVA_PACKAGE_TEST=1 asks for it (run-tests.sh sets it)" >&2; exit 77; }
[ "$(id -u)" -eq 0 ] || { echo "SKIP: installing the package needs root" >&2; exit 77; }
command -v dpkg >/dev/null 2>&1 && command -v apt-get >/dev/null 2>&1 ||
    { echo "SKIP: no dpkg/apt-get here" >&2; exit 77; }
source "$here/../e2e/common.sh"
need_commands cpack dpkg-deb dpkg-shlibdeps runuser useradd appstreamcli desktop-file-validate man gzip
[ -x "$ORVA_BUILD/orva-cli" ] || fail "$ORVA_BUILD/orva-cli is not built"

user=${ORVA_PACKAGE_TEST_USER:-orvatest}
problems=()
problem() {
    echo "PROBLEM: $*" >&2
    problems+=("$*")
}

# ------------------------------------------------------------------ build the package

(cd "$ORVA_BUILD" && rm -f orva_*.deb && cpack -G DEB >cpack.log 2>&1) ||
    fail "cpack failed (see $ORVA_BUILD/cpack.log)"
debs=("$ORVA_BUILD"/orva_*_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made ${#debs[@]} packages: ${debs[*]}"
deb=${debs[0]}
version=$(grep -m1 -oE 'project\(orva VERSION [0-9.]+' "$ORVA_SOURCE/CMakeLists.txt" | awk '{print $3}')
[ "$(basename "$deb")" = "orva_${version}_$(dpkg --print-architecture).deb" ] ||
    problem "the package is named $(basename "$deb")"
echo "package: $deb"

# Exactly the installed files, nothing from the build tree or the tests.
contents=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort)
expected=$(sort <<EOF2
usr/bin/orva
usr/bin/orva-cli
usr/share/applications/orva.desktop
usr/share/bash-completion/completions/orva-cli
usr/share/doc/orva/README.md
usr/share/doc/orva/changelog.gz
usr/share/doc/orva/copyright
usr/share/icons/hicolor/scalable/apps/orva.svg
usr/share/man/man1/orva-cli.1.gz
usr/share/man/man1/orva.1.gz
usr/share/metainfo/org.example.orva.metainfo.xml
$(cd "$ORVA_SOURCE/samples" && find . -mindepth 2 -type f -path './20*' | sed 's|^\./|usr/share/orva/examples/|')
EOF2
)
diff <(echo "$expected") <(echo "$contents") || problem "the package holds other files than expected (- expected, + held)"
control=$(dpkg-deb -f "$deb")
for field in Depends Description Section Maintainer; do
    grep -q "^$field: ." <<<"$control" || problem "the control file has no $field"
done
grep -q '^Depends:.*libqt6printsupport6' <<<"$control" || problem "Depends lacks the Qt libraries (dpkg-shlibdeps)"
grep -q 'ДДС' <<<"$control" || problem "the description has no Bulgarian part"

# ------------------------------------------------------------------ install

installed_before=$(dpkg-query -W -f='${Status}' orva 2>/dev/null || true)
remove_package=0
[ "$installed_before" = "install ok installed" ] || remove_package=1
[ "${ORVA_PACKAGE_KEEP:-0}" = 1 ] && remove_package=0
work=""
cleanup() {
    if [ -n "$work" ]; then
        # The window's log and screenshots stay for inspection.
        if [ -d "$work/user/window" ]; then
            rm -rf "$ORVA_BUILD/package/window"
            mkdir -p "$ORVA_BUILD/package"
            cp -r "$work/user/window" "$ORVA_BUILD/package/window" 2>/dev/null || true
        fi
        rm -rf "$work"
    fi
    if [ "$remove_package" = 1 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -q orva >/dev/null 2>&1 || true
    fi
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb" >"$ORVA_BUILD/apt-install.log" 2>&1 ||
    fail "apt-get install of $deb failed (see $ORVA_BUILD/apt-install.log)"
[ "$(dpkg-query -W -f='${Version}' orva)" = "$version" ] || fail "orva $version is not installed after apt-get"

id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
[ "$(id -u "$user")" -ne 0 ] || fail "$user is root"
rm -rf "$home/.cache/orva" "$home/.config/orva" "$home/.local/share/orva" "$home/.config/orva-test"

# The user cannot read a source tree under /root: the helper scripts go to a folder of their own.
work=$(mktemp -d /tmp/orva-package.XXXXXX)
chmod 755 "$work"
cp "$here"/check_manpages.sh "$here"/check_completion.sh "$here"/installed_window.sh \
    "$ORVA_SOURCE"/tests/e2e/xwd_to_png.py "$ORVA_SOURCE"/tests/e2e/x11_close.py "$work/"
mkdir "$work/user"
chown "$user:" "$work/user"

# The user reaches the print server the tests use (CUPS_SERVER), when there is one.
cups_env=()
[ -n "${CUPS_SERVER:-}" ] && cups_env+=(CUPS_SERVER="$CUPS_SERVER")
[ -n "${CUPS_SERVERROOT:-}" ] && cups_env+=(CUPS_SERVERROOT="$CUPS_SERVERROOT")
as_user() {
    runuser -u "$user" -- env -i HOME="$home" USER="$user" LOGNAME="$user" PATH=/usr/bin:/bin \
        LC_ALL=C.UTF-8 TZ=UTC QT_QPA_PLATFORM=offscreen "${cups_env[@]}" "$@"
}

# Everything under /usr that changes from here on changed because of the user's runs.
touch "$work/stamp"
sleep 1

# ------------------------------------------------------------------ the user's runs

examples=/usr/share/orva/examples
diff -r "$ORVA_SOURCE/samples/2026-10" "$examples/2026-10" >/dev/null || problem "$examples/2026-10 differs from the sample"

# At the default printer's page length, as the window lays out the journal copies.
as_user /usr/bin/orva-cli export --out "$work/user/export" "$examples/2026-10" ||
    problem "orva-cli export as $user ended with status $?"
# The installed, stripped program writes what the build tree's does (page length pinned: root's
# and the user's default printers may differ).
as_user /usr/bin/orva-cli export --lines-per-page 60 --out "$work/user/export-60" "$examples/2026-10" ||
    problem "orva-cli export --lines-per-page 60 as $user ended with status $?"
QT_QPA_PLATFORM=offscreen "$ORVA_BUILD/orva-cli" export --lines-per-page 60 --out "$work/build-export-60" "$examples/2026-10" ||
    fail "the build tree's orva-cli export failed"
diff -r "$work/build-export-60" "$work/user/export-60" || problem "the installed orva-cli exports other bytes"
ls "$work/user/export"/{label,purchases,sales,return}.txt >/dev/null || problem "export wrote not all four documents"
as_user /usr/bin/orva-cli check "$examples/2026-10" >"$work/check.txt" ||
    problem "orva-cli check as $user ended with status $? (see below)"
grep -q 'НЕСЪОТВЕТСТВИЕ' "$work/check.txt" && cat "$work/check.txt" >&2 && problem "check finds a mismatch in the sample"

if [ "${ORVA_PACKAGE_WINDOW_TEST:-0}" = 1 ]; then
    need_commands Xvfb xdotool python3 cmp
    as_user bash "$work/installed_window.sh" "$work/user/window" "$work/user/export" ||
        problem "the installed window as $user failed (see above and $ORVA_BUILD/package/window)"
else
    echo "the installed window is not tried (ORVA_PACKAGE_WINDOW_TEST=1 turns it on)"
fi

as_user appstreamcli validate --no-net /usr/share/metainfo/org.example.orva.metainfo.xml ||
    problem "appstreamcli validate fails on the installed metainfo"
as_user desktop-file-validate /usr/share/applications/orva.desktop ||
    problem "desktop-file-validate fails on the installed desktop entry"
as_user bash "$work/check_manpages.sh" /usr/bin/orva-cli /usr/share/man/man1 || problem "the installed man pages"
for page in orva orva-cli; do
    [ "$(as_user man -w "$page")" = "/usr/share/man/man1/$page.1.gz" ] || problem "man does not find $page(1)"
done
as_user bash "$work/check_completion.sh" /usr/share/bash-completion/completions/orva-cli ||
    problem "the installed completion"

changed=$(find /usr \( -newer "$work/stamp" -o -cnewer "$work/stamp" \) -print 2>/dev/null | head -n 20)
[ -z "$changed" ] || problem "the user's runs changed /usr: $changed"

if [ ${#problems[@]} -gt 0 ]; then
    printf 'FAIL: %s\n' "${problems[@]}" >&2
    exit 1
fi
echo "PASS: $(basename "$deb") built, installed and run by $user; /usr untouched; metainfo, desktop entry, man pages, completion"
