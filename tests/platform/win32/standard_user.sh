#!/usr/bin/env bash
# The Windows program as a standard user runs it on Windows 10 and 11, under Wine.
#
# Wine run as root can write C:\windows and Program Files; no normally started program on
# Windows 10/11 can. So the program runs here as an unprivileged user this script creates, in a
# Wine prefix of that user's own whose C:\windows, Program Files and all-users Start menu then
# belong to root, as Windows protects them. The installer runs before they are locked, as the
# administrator's step; the uninstaller after they are unlocked again.
#
# usage: standard_user.sh WORK_DIR INSTALLER PORTABLE_ZIP TEST_EXE
# Needs root and an X display (DISPLAY); exits 77 (skipped) without them, or fails when CI is set,
# where the machine is set up to run it. LOCPATH, when set, is where Wine finds the UTF-8 locales
# it needs for file names beyond ASCII. The user goes again at the end, with its processes.
set -euo pipefail

if [[ $# -ne 4 ]]; then
    echo "usage: $0 WORK_DIR INSTALLER PORTABLE_ZIP TEST_EXE" >&2
    exit 2
fi
work=$1 installer=$2 portable_zip=$3 tests=$4
cannot_run() {
    if [[ -n ${CI:-} && ${CI} != 0 && ${CI} != false ]]; then
        echo "FAIL: $1 (CI is set, where this test must run)"
        exit 1
    fi
    echo "skipped: $1"
    exit 77
}
[[ $(id -u) -eq 0 ]] || cannot_run "creating the unprivileged test user needs root"
[[ -n ${DISPLAY:-} ]] || cannot_run "no X display (DISPLAY is unset)"

user=ornavel-wine
if ! id -u "$user" >/dev/null 2>&1; then
    useradd --create-home --shell /usr/sbin/nologin "$user"
fi
home=$(getent passwd "$user" | cut -d: -f6)
prefix=$work/prefix
drive=$prefix/drive_c
protected=("$drive/windows" "$drive/Program Files" "$drive/ProgramData/Microsoft/Windows/Start Menu")

# Runs a command as the test user, with only the environment Wine needs. LOCALE picks the ANSI
# code page Wine gives Windows programs (ru_RU: 1251, en_US: 1252).
locale=C.UTF-8
as_user() {
    runuser -u "$user" -- env -i HOME="$home" USER="$user" LOGNAME="$user" PATH=/usr/bin:/bin \
        DISPLAY="$DISPLAY" LC_ALL="$locale" WINEPREFIX="$prefix" WINEDEBUG=-all \
        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" ${LOCPATH:+LOCPATH="$LOCPATH"} "$@"
}
wine() { as_user /usr/lib/wine/wine64 "$@"; }
settle() { as_user wineserver -w; }
step() { echo "---- $*"; }

stop_wine() { [[ -d $prefix ]] && as_user wineserver -k 2>/dev/null || true; }
# Ends whatever still runs as the user, by process id, and removes the user and its home.
remove_user() {
    stop_wine
    local uid pids
    uid=$(id -u "$user" 2>/dev/null) || return 0
    mapfile -t pids < <(ps -e -o pid= -o ruid= -o euid= |
        awk -v uid="$uid" '$2 == uid || $3 == uid { print $1 }')
    ((${#pids[@]} == 0)) || kill -KILL "${pids[@]}" 2>/dev/null || true
    userdel --force --remove "$user" 2>/dev/null || true
}
trap remove_user EXIT

step "a fresh Wine prefix owned by $user"
stop_wine
rm -rf "$work"
mkdir -p "$work"
chmod 755 "$work"
install -d -o "$user" -g "$user" "$prefix"
wine wineboot --init >/dev/null 2>&1
settle

step "the installer refuses a Windows older than 10 version 1607 (Wine's default here: 7)"
status=0
wine "$installer" /S || status=$?
settle
if [[ $status -eq 0 || -e "$drive/Program Files/Ornavel" ]]; then
    echo "FAIL: the installer ran on Windows 7 (status $status)"
    exit 1
fi

step "administrator: silent install on Windows 10"
wine winecfg -v win10
wine "$installer" /S
settle
[[ -f "$drive/Program Files/Ornavel/ornavel.exe" ]] || { echo "FAIL: nothing installed"; exit 1; }

step "portable copies: one in a folder of the user's, one in a folder it cannot write"
portable=$drive/users/$user/portable
install -d -o "$user" -g "$user" "$portable"
(cd "$portable" && cmake -E tar xf "$portable_zip")
chown -R "$user:$user" "$portable"
locked=$drive/locked-portable
install -d "$locked"
cp "$portable/ornavel.exe" "$locked/"
install -o "$user" -g "$user" -m 644 /dev/null "$locked/options.ini"

step "lock C:\\windows, Program Files and the Start menu as Windows does"
chown -R root:root "${protected[@]}"
chmod -R go-w "${protected[@]}"

failed=0
for locale in ru_RU.UTF-8 en_US.UTF-8; do
    step "the installed program as the standard user, $locale"
    as_user ORNAVEL_PORTABLE_EXE="C:\\users\\$user\\portable\\ornavel.exe" \
        ORNAVEL_LOCKED_PORTABLE_EXE='C:\locked-portable\ornavel.exe' \
        /usr/lib/wine/wine64 "$tests" --gtest_brief=1 || failed=1
    settle
done

step "administrator: silent uninstall"
locale=C.UTF-8
chown -R "$user:$user" "${protected[@]}"
settings=$drive/users/$user/AppData/Roaming/Ornavel/options.ini
[[ -f $settings ]] || { echo "FAIL: the user's settings are missing before uninstalling"; failed=1; }
wine "$drive/Program Files/Ornavel/uninstall.exe" /S
settle
if [[ -e "$drive/Program Files/Ornavel" ]]; then
    echo "FAIL: left in Program Files:"
    find "$drive/Program Files/Ornavel"
    failed=1
fi
if [[ -e "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Ornavel.lnk" ]]; then
    echo "FAIL: the Start-menu shortcut is still there"
    failed=1
fi
if wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ornavel' >/dev/null 2>&1; then
    echo "FAIL: the Apps & features entry is still there"
    failed=1
fi
[[ -f $settings ]] || { echo "FAIL: the uninstaller removed the user's settings"; failed=1; }

[[ $failed -eq 0 ]] && echo "standard user: all passed"
exit "$failed"
