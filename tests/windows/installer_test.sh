#!/usr/bin/env bash
# The Windows packages of this tree, signed with a throwaway CA's
# certificate: the program, the installer and the uninstaller verify against
# it with a time stamp, one changed byte does not, and signing again at the
# same time gives the same bytes. The zip holds Zorbel.exe alone. The
# installer's version record is the program's, and its winget manifest
# names it by its address and SHA-256 and gives the switches of each scope.
# The installer, silent under Wine with those switches, installs for every
# user (/AllUsers) and for the current user alone (/CurrentUser), each asking
# for no elevation in its manifest; the installed (signed) program opens its
# window. While it runs, installing again or uninstalling ends with a
# non-zero status and changes nothing. The uninstaller, run as its uninstall
# entry says (in place) or plainly (as NSIS's copy in the temp folder),
# leaves no file or registry key behind. So for a table of folder names
# that a command interpreter would act on (one of them would make a folder
# if anything ran it), in other scripts, near MAX_PATH and on another drive;
# a folder the user had stays. A second install for the same user, into
# another folder, takes the first one's place. Wine's menu builder stays
# off: the real home gets no menus or icons.
# Usage: installer_test.sh BUILD/CPackConfig.cmake COMMAND_LINE.exe
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/xvfb.sh"
source "$here/../lib/window.sh"
source "$here/../lib/wine.sh"
WINE_COMMAND_LINE=$2 # tests/windows/command_line.cpp
# Wine reads file names and the environment in the locale's encoding.
export LC_ALL=C.UTF-8

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

homepage=https://zorbel.example/ releases=https://zorbel.example/scaricare
if ! cpack --config "$1" -G "NSIS;ZIP" -B "$work" -D CPACK_ZORBEL_HOMEPAGE_URL=$homepage \
    -D CPACK_ZORBEL_INSTALLER_URL=$releases/ >"$work/cpack.log" 2>&1; then
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

# The installer's version record against the program's, and its manifest
# against it: prints each scope's switches, as winget puts them together.
read_back=(/usr/bin/python3 - "$installer" "$work/zipped/Zorbel.exe" "$work/winget" "$releases")
"${read_back[@]}" >"$work/switches" <<'CHECK' || fail "the installer's version record or winget manifest: above"
import hashlib, os, sys, pefile, yaml
installer, program, folder, releases = sys.argv[1:]
def record(path):
    pe = pefile.PE(path)
    return {key.decode(): value.decode() for info in pe.FileInfo[0] if info.Key == b"StringFileInfo"
            for table in info.StringTable for key, value in table.entries.items()}
ours, its = record(installer), record(program)
for key in ("ProductName", "CompanyName", "ProductVersion"):
    if not its.get(key) or ours.get(key) != its[key]:
        sys.exit(f"the installer's {key} is {ours.get(key)!r}, the program's {its.get(key)!r}")
manifests = {}
for name in os.listdir(folder):
    with open(os.path.join(folder, name), encoding="utf-8") as file:
        manifest = yaml.safe_load(file)
    manifests[manifest["ManifestType"]] = manifest
if sorted(manifests) != ["defaultLocale", "installer", "version"]:
    sys.exit(f"winget manifests: {sorted(manifests)}")
names = {(m["PackageIdentifier"], m["PackageVersion"], m["ManifestVersion"]) for m in manifests.values()}
if len(names) != 1 or not next(iter(names))[2].startswith("1.6"):
    sys.exit(f"the manifests name {names}")
if manifests["defaultLocale"]["PackageName"] != its["ProductName"]:
    sys.exit(f"the manifest's name is {manifests['defaultLocale']['PackageName']!r}")
with open(installer, "rb") as file:
    sha256 = hashlib.sha256(file.read()).hexdigest()
listed = manifests["installer"]
entries = listed["Installers"]
if listed.get("InstallerType") != "nullsoft" or listed.get("ProductCode") != its["ProductName"]:
    sys.exit(f"installer type {listed.get('InstallerType')!r}, product code {listed.get('ProductCode')!r}")
if sorted(entry["Scope"] for entry in entries) != ["machine", "user"]:
    sys.exit(f"scopes: {[entry['Scope'] for entry in entries]}")
for entry in entries:
    if entry["InstallerUrl"] != f"{releases}/{os.path.basename(installer)}" or entry["InstallerSha256"].lower() != sha256:
        sys.exit(f"{entry['Scope']}: {entry['InstallerUrl']} {entry['InstallerSha256']}, not the installer's")
    given = entry["InstallerSwitches"]
    print("AllUsers" if entry["Scope"] == "machine" else "CurrentUser", given["Silent"], given.get("Custom", ""))
CHECK
declare -A switches
while read -r scope line; do
    switches[$scope]=$line
done <"$work/switches"
[ "${switches[AllUsers]:-}" ] && [ "${switches[CurrentUser]:-}" ] || fail "the manifest gave no switches for both scopes"

# Where Wine's menu builder would put the Start menu's entries.
home_menus=("$HOME/.local/share/applications" "$HOME/.local/share/icons" "$HOME/.local/share/desktop-directories" "$HOME/.config/menus")
touch "$work/before"

uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Zorbel'
# A second drive, D:, and a folder the user had before installing into it.
drive_d=$work/drive-d
mkdir "$drive_d"
# What installing may change: files and folders outside Windows' own, on
# C: and D:, and Zorbel's registry keys.
files_state() {
    (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -print | sort &&
        find . -path ./windows -prune -o -type f -print0 | xargs -0r sha256sum 2>/dev/null | sort)
    (cd "$drive_d" && find . | sort)
}
state() {
    files_state
    wine_keys "HKLM\\$uninstall_key" "HKCU\\$uninstall_key" 'HKLM\Software\Zorbel'
}
# Waits for the uninstaller's last step, which ends after it returns.
settled() {
    for _ in $(seq 100); do
        files_state | cmp -s - "$1" && break
        sleep 0.2
    done
    state | diff "$2" - >&2
}
# The file name in this prefix of a Windows path on C: or D:.
unix_path() {
    local rest=${1:3}
    case ${1:0:1} in
    C) echo "$WINEPREFIX/drive_c/${rest//\\//}" ;;
    D) echo "$drive_d/${rest//\\//}" ;;
    esac
}

# Installs for MODE (AllUsers or CurrentUser) into FOLDER (a Windows path;
# empty, the mode's own), with the manifest's switches, checks the install
# and its uninstall entry; with RUN, runs the installed program and tries to
# install and uninstall meanwhile; then uninstalls by the entry's quiet line
# (or with PLAIN, by the uninstaller plainly) and checks that nothing is left.
install_round() {
    local mode=$1 folder=$2 run=${3:-} plain=${4:-} root=HKCU other=HKLM menu
    local what="$mode into ${folder:-its own folder}" start=$SECONDS
    if [ "$mode" = AllUsers ]; then
        root=HKLM other=HKCU
        menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zorbel"
    else
        menu="$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zorbel"
    fi
    local line="\"$installer_path\" ${switches[$mode]}"
    [ -z "$folder" ] || line+=" /D=$folder"
    wine_command "$line" || fail "$what: the installer ended with status $?"
    echo "$what: installed after $((SECONDS - start)) s"
    local entry location place
    entry=$(wine_reg "$root\\$uninstall_key") || fail "$what: no uninstall entry under $root"
    value() { sed -n "s/^$1=//p" <<<"$entry"; }
    location=$(value InstallLocation)
    [ -z "$folder" ] || [ "$location" = "$folder" ] || fail "$what: the uninstall entry names '$location'"
    place=$(unix_path "$location")
    [ -f "$place/Zorbel.exe" ] || fail "$what: no Zorbel.exe in $place after installing: $(find "$WINEPREFIX/drive_c" "$drive_d" -name Zorbel.exe)"
    [ -f "$menu/Zorbel.lnk" ] || fail "$what: no Start-menu entry after installing: $(find "$WINEPREFIX/drive_c" -name '*.lnk')"
    ! wine_reg "$other\\$uninstall_key" >/dev/null || fail "$what: an uninstall entry under $other too"
    local size kib
    size=$(value EstimatedSize)
    kib=$(($(cat "$place"/* | wc -c) / 1024))
    [ -n "$size" ] && [ $((size)) -ge $((kib - 1)) ] && [ $((size)) -le $((kib + 1)) ] ||
        fail "$what: the uninstall entry's EstimatedSize is '$size', the folder holds $kib KiB"
    [ "$(value URLInfoAbout)" = "$homepage" ] || fail "$what: the uninstall entry's URLInfoAbout is not $homepage"
    if [ -z "$folder" ]; then
        grep -aq 'level="asInvoker"' "$place/Uninstall.exe" || fail "$what: the uninstaller's manifest asks for elevation"
        verify "$place/Uninstall.exe" || { cat "$work/verify.log" >&2; fail "$what: the uninstaller is not signed: above"; }
    fi

    local quiet status
    quiet=$(value QuietUninstallString)
    if [ "$run" = run ]; then
        zorbel_start "$(wine_launcher "$place/Zorbel.exe")" "$work/zorbel.err" || fail "$what: the installed program opened no window"
        # An install that went ahead would show its own version again.
        wine reg add "$root\\$uninstall_key" /v DisplayVersion /d 0.9 /f >/dev/null
        state >"$work/installed"
        status=0
        wine_command "$line" || status=$?
        [ "$status" != 0 ] || fail "$what: installing while Zorbel runs ended with status 0"
        status=0
        wine_command "$quiet" || status=$?
        [ "$status" != 0 ] || fail "$what: uninstalling ($quiet) while Zorbel runs ended with status 0"
        state | diff "$work/installed" - >&2 || fail "$what: a refused install or uninstall changed the above"
        zorbel_kill
    fi
    if [ "$plain" = plain ]; then
        wine_command "\"$location\\Uninstall.exe\" /S" || fail "$what: the uninstaller ended with status $?"
    else
        wine_command "$quiet" || fail "$what: the uninstaller ($quiet) ended with status $?"
    fi
    settled "$work/empty-files" "$work/empty" || fail "$what: uninstalling left the above behind"
    echo "$what${run:+, run}: $((SECONDS - start)) s"
}

xvfb_start
wine_prefix
ln -s "$drive_d" "$WINEPREFIX/dosdevices/d:"
mkdir "$WINEPREFIX/drive_c/Mia cartella"
state >"$work/empty"
files_state >"$work/empty-files"
user=$WINEPREFIX/drive_c/users/$(id -un)
installer_path="Z:${installer//\//\\}"
install_round AllUsers "" run
install_round CurrentUser "" run plain

# Folder names a command interpreter would act on, or that are long or in
# other scripts: each installed for every user and for one, each run once.
long="C:\\$(printf 'l%.0s' {1..120})\\$(printf 'm%.0s' {1..114})\\Zorbel" # its Uninstall.exe: MAX_PATH - 1
folders=(
    'C:\Tom & Jerry\Zorbel'
    'C:\Giochi & mkdir iniettato & rem\Zorbel'
    'C:\Cartella %TEMP%\Zorbel'
    'C:\a^b!c!\Zorbel'
    'C:\Giochi (vecchi); uno, due\Zorbel'
    "C:\\L'altro\\Zorbel"
    'C:\Perché più\Città già\Zorbel'
    'C:\游戏\弹跳球'
    "$long"
    'D:\Zorbel'
    'C:\Mia cartella'
)
turn=0
for folder in "${folders[@]}"; do
    if ((turn++ % 2)); then
        install_round AllUsers "$folder" "" && install_round CurrentUser "$folder" run plain
    else
        install_round AllUsers "$folder" run && install_round CurrentUser "$folder" "" plain
    fi
done
injected=$(find "$WINEPREFIX" "$work" "$PWD" -iname 'iniettato*')
[ -z "$injected" ] || fail "a command in a folder's name ran: $injected"

# A second install for the same user, into another folder, takes the first
# one's place: one copy and one uninstall entry; while the first runs, it
# is refused and changes nothing.
wine_command "\"$installer_path\" ${switches[CurrentUser]}" || fail "the first install for one user ended with status $?"
first=$(unix_path "$(wine_reg "HKCU\\$uninstall_key" InstallLocation)")
zorbel_start "$(wine_launcher "$first/Zorbel.exe")" "$work/zorbel.err" || fail "the first install's program opened no window"
state >"$work/installed"
status=0
wine_command "\"$installer_path\" ${switches[CurrentUser]} /D=C:\Altrove\Zorbel" || status=$?
[ "$status" != 0 ] || fail "installing elsewhere while the first copy runs ended with status 0"
state | diff "$work/installed" - >&2 || fail "a refused install elsewhere changed the above"
zorbel_kill
install_round CurrentUser 'C:\Altrove\Zorbel'

written=$(find "${home_menus[@]}" -newer "$work/before" 2>/dev/null | grep -i wine || true)
[ -z "$written" ] || fail "Wine wrote into the real home: $written"
echo "$(basename "$installer"): signed and time-stamped, as its winget manifest says; installed for all users and for one, into ${#folders[@]} named folders and in place of another copy, refused while Zorbel ran, uninstalled without a trace"
