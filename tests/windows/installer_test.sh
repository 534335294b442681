#!/usr/bin/env bash
# The Windows packages of this tree, signed with a throwaway CA's
# certificate: the program, the installer and the uninstaller verify against
# it with a time stamp, one changed byte does not, and signing again at the
# same time gives the same bytes. The zip holds Zorbel.exe alone. The
# installer, silent under Wine, installs in two rounds: for every user
# (/AllUsers) and for the current user alone (/CurrentUser), each asking for
# no elevation in its manifest; the installed (signed) program opens its window.
# While it runs, installing again or uninstalling ends with a non-zero status
# and changes nothing. The uninstaller, run as its uninstall entry says (in
# place) or plainly (as NSIS's copy in the temp folder), leaves no file or
# registry key behind. Wine's menu builder stays off: the real home gets no
# menus or icons.
# Usage: installer_test.sh BUILD/CPackConfig.cmake
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/xvfb.sh"
source "$here/../lib/window.sh"
source "$here/../lib/wine.sh"

# The packages are signed, with a throwaway CA's code-signing certificate,
# time-stamped by a local RFC 3161 server (openssl ts) on 127.0.0.1.
ca=$work/ca
mkdir "$ca"
certificate() { # NAME SUBJECT EXTENDED_KEY_USAGE: a key and a certificate the CA signs
    openssl req -new -newkey rsa:2048 -nodes -subj "/CN=$2" -keyout "$ca/$1.key" -out "$ca/$1.csr" 2>/dev/null
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=critical,%s\n' "$3" >"$ca/$1.ext"
    openssl x509 -req -in "$ca/$1.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial -days 2 \
        -extfile "$ca/$1.ext" -out "$ca/$1.pem" 2>/dev/null
}
openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Zorbel test CA" -days 2 -keyout "$ca/ca.key" -out "$ca/ca.pem" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
certificate signer "Zorbel test signer" codeSigning
certificate tsa "Zorbel test time stamps" timeStamping
openssl pkcs12 -export -inkey "$ca/signer.key" -in "$ca/signer.pem" -certfile "$ca/ca.pem" -passout pass:secret -out "$ca/signer.p12"
echo 01 >"$ca/tsa.serial"
cat >"$ca/tsa.cnf" <<CNF
[ tsa ]
default_tsa = zorbel
[ zorbel ]
serial = $ca/tsa.serial
signer_cert = $ca/tsa.pem
certs = $ca/ca.pem
signer_key = $ca/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
ess_cert_id_alg = sha256
CNF
/usr/bin/python3 -c '
import http.server, subprocess, sys
class Stamp(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1], "-queryfile", "/dev/stdin", "-out", "/dev/stdout"],
                               input=query, capture_output=True, check=True).stdout
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
    def log_message(self, *arguments):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Stamp)
print(server.server_port, flush=True)
server.serve_forever()
' "$ca/tsa.cnf" >"$ca/port" &
on_exit end_pid $!
wait_until 10 test -s "$ca/port"
export ZORBEL_SIGN_PKCS12=$ca/signer.p12 ZORBEL_SIGN_PASSWORD=secret ZORBEL_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(cat "$ca/port")

if ! cpack --config "$1" -G "NSIS;ZIP" -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack could not make the packages"
fi
installer=$(echo "$work"/*-setup.exe)
zip=$(echo "$work"/*.zip)
files=$(/usr/bin/python3 -c 'import sys, zipfile; print(*zipfile.ZipFile(sys.argv[1]).namelist())' "$zip")
[ "$files" = Zorbel.exe ] || fail "the zip holds '$files', not Zorbel.exe alone"
/usr/bin/python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extract("Zorbel.exe", sys.argv[2])' "$zip" "$work/zipped"
verify() { # FILE: signed by the CA's certificate, time-stamped
    osslsigncode verify -CAfile "$ca/ca.pem" -TSA-CAfile "$ca/ca.pem" -in "$1" >"$work/verify.log" 2>&1 &&
        grep -q 'Timestamp Server Signature verification: ok' "$work/verify.log"
}
for file in "$installer" "$work/zipped/Zorbel.exe"; do
    verify "$file" || { cat "$work/verify.log" >&2; fail "$(basename "$file") is not signed and time-stamped: above"; }
done
# One changed byte in the middle of the program breaks its signature.
cp "$work/zipped/Zorbel.exe" "$work/changed.exe"
middle=$(($(stat -c %s "$work/changed.exe") / 2))
byte=$(od -An -tu1 -j "$middle" -N1 "$work/changed.exe" | tr -d ' ')
printf "$(printf '\\%03o' $((byte ^ 1)))" | dd of="$work/changed.exe" bs=1 seek="$middle" conv=notrunc status=none
! verify "$work/changed.exe" || fail "a program with a changed byte still verifies"
# Given the same time, signing gives the same bytes (a time stamp is the
# server's own, so none here).
for round in 1 2; do
    cp "$(dirname "$1")/window/win32/Zorbel.exe" "$work/again-$round.exe"
    ZORBEL_SIGN_TIMESTAMP_URL= SOURCE_DATE_EPOCH=1700000000 bash "$here/../../cmake/sign/authenticode.sh" "$work/again-$round.exe"
done
cmp -s "$work/again-1.exe" "$work/again-2.exe" || fail "signing twice at the same time gave different bytes"
grep -aq 'level="asInvoker"' "$installer" || fail "the installer's manifest asks for elevation"

# Where Wine's menu builder would put the Start menu's entries.
home_menus=("$HOME/.local/share/applications" "$HOME/.local/share/icons" "$HOME/.local/share/desktop-directories" "$HOME/.config/menus")
touch "$work/before"

uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Zorbel'
# What installing may change: files and folders outside Windows' own, and
# Zorbel's registry keys.
files_state() {
    (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -print | sort &&
        find . -path ./windows -prune -o -type f -print0 | xargs -0r sha256sum 2>/dev/null | sort)
}
state() {
    files_state
    local key
    for key in "HKLM\\$uninstall_key" "HKCU\\$uninstall_key" 'HKLM\Software\Zorbel'; do
        wine_reg "$key" || echo "no $key"
    done
}
# Waits for the uninstaller's last step, which ends after it returns.
settled() {
    for _ in $(seq 100); do
        files_state | cmp -s - "$1" && break
        sleep 0.2
    done
    state | diff "$2" - >&2
}

xvfb_start
wine_prefix
state >"$work/empty"
files_state >"$work/empty-files"
user=$WINEPREFIX/drive_c/users/$(id -un)
for mode in AllUsers CurrentUser; do
    if [ "$mode" = AllUsers ]; then
        folder="$WINEPREFIX/drive_c/Program Files/Zorbel"
        menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zorbel"
        root=HKLM other=HKCU
    else
        folder="$user/AppData/Local/Programs/Zorbel"
        menu="$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zorbel"
        root=HKCU other=HKLM
    fi
    wine "$installer" /S "/$mode" || fail "$mode: the installer ended with status $?"
    [ -f "$folder/Zorbel.exe" ] || fail "$mode: no $folder/Zorbel.exe after installing"
    [ -f "$menu/Zorbel.lnk" ] || fail "$mode: no Start-menu entry after installing: $(find "$WINEPREFIX/drive_c" -name '*.lnk')"
    wine_reg "$root\\$uninstall_key" >/dev/null || fail "$mode: no uninstall entry under $root"
    ! wine_reg "$other\\$uninstall_key" >/dev/null || fail "$mode: an uninstall entry under $other too"
    grep -aq 'level="asInvoker"' "$folder/Uninstall.exe" || fail "$mode: the uninstaller's manifest asks for elevation"
    verify "$folder/Uninstall.exe" || { cat "$work/verify.log" >&2; fail "$mode: the uninstaller is not signed: above"; }

    zorbel_start "$(wine_launcher "$folder/Zorbel.exe")" "$work/zorbel.err" || fail "$mode: the installed program opened no window"
    # An install that went ahead would show its own version again.
    wine reg add "$root\\$uninstall_key" /v DisplayVersion /d 0.9 /f >/dev/null
    state >"$work/installed"
    quiet=$(wine_reg "$root\\$uninstall_key" QuietUninstallString)
    status=0
    wine "$installer" /S "/$mode" || status=$?
    [ "$status" != 0 ] || fail "$mode: installing while Zorbel runs ended with status 0"
    status=0
    wine_command "$quiet" || status=$?
    [ "$status" != 0 ] || fail "$mode: uninstalling ($quiet) while Zorbel runs ended with status 0"
    state | diff "$work/installed" - >&2 || fail "$mode: a refused install or uninstall changed the above"
    zorbel_kill

    if [ "$mode" = AllUsers ]; then
        wine_command "$quiet" || fail "$mode: the uninstaller ($quiet) ended with status $?"
    else
        wine "$folder/Uninstall.exe" /S || fail "$mode: the uninstaller ended with status $?"
    fi
    settled "$work/empty-files" "$work/empty" || fail "$mode: uninstalling left the above behind"
done

written=$(find "${home_menus[@]}" -newer "$work/before" 2>/dev/null | grep -i wine || true)
[ -z "$written" ] || fail "Wine wrote into the real home: $written"
echo "$(basename "$installer"): signed and time-stamped, installed for all users and for one, refused while Zorbel ran, uninstalled without a trace"
