#!/usr/bin/env bash
# The Windows packages, signed by a throwaway CA, and their winget manifest; silent installs with its
# switches for every user and for one, into folders of many names, refused while the program runs,
# and uninstalls that leave no file or key behind. Usage: installer_test.sh BUILD/CPackConfig.cmake IN_WINE.exe
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/xvfb.sh"
source "$here/../lib/window.sh"
source "$here/../lib/wine.sh"
in_wine=$2 # tests/windows/in_wine.cpp
export LC_ALL=C.UTF-8 # Wine reads file names and the environment in it

# The certificates, and time stamps from openssl ts behind a local server.
ca=$work/ca && mkdir "$ca"
openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Zorbel test CA" -days 2 -keyout "$ca/ca.key" -out "$ca/ca.pem" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
for use in codeSigning timeStamping; do
    openssl req -new -newkey rsa:2048 -nodes -subj "/CN=Zorbel test $use" -keyout "$ca/$use.key" 2>/dev/null |
        openssl x509 -req -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial -days 2 -out "$ca/$use.pem" 2>/dev/null \
            -extfile <(printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=critical,%s\n' $use)
done
openssl pkcs12 -export -inkey "$ca/codeSigning.key" -in "$ca/codeSigning.pem" -certfile "$ca/ca.pem" -passout pass:secret -out "$ca/signer.p12"
echo 01 >"$ca/serial"
printf '[ tsa ]\nserial = %s\ndigests = sha256\ndefault_policy = 1.2.3.4.1\nsigner_digest = sha256\ness_cert_id_alg = sha256\n' "$ca/serial" >"$ca/tsa.cnf"
/usr/bin/python3 -c '
import http.server, subprocess, sys
class Stamp(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(sys.argv[1:], input=query, capture_output=True, check=True).stdout
        self.wfile.write(b"HTTP/1.0 200 OK\r\nContent-Type: application/timestamp-reply\r\nContent-Length: %d\r\n\r\n" % len(reply) + reply)
server = http.server.HTTPServer(("127.0.0.1", 0), Stamp)
print(server.server_port, flush=True), server.serve_forever()
' openssl ts -reply -config "$ca/tsa.cnf" -section tsa -signer "$ca/timeStamping.pem" -inkey "$ca/timeStamping.key" \
    -chain "$ca/ca.pem" -queryfile /dev/stdin -out /dev/stdout >"$ca/port" 2>"$ca/server.log" &
on_exit end_pid $!
wait_until 10 test -s "$ca/port" || fail "the time-stamp server gave no port within 10 s: $(cat "$ca/server.log")"
export ZORBEL_SIGN_PKCS12=$ca/signer.p12 ZORBEL_SIGN_PASSWORD=secret ZORBEL_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(cat "$ca/port")

homepage=https://zorbel.example/ releases=https://zorbel.example/scaricare
cpack --config "$1" -G "NSIS;ZIP" -B "$work" -D CPACK_ZORBEL_HOMEPAGE_URL=$homepage -D CPACK_ZORBEL_INSTALLER_URL=$releases/ \
    >"$work/cpack.log" 2>&1 || fail "cpack could not pack: $(cat "$work/cpack.log")"
installer=$(echo "$work"/*-setup.exe)
# FILE is signed by the CA's certificate, time-stamped, and (but for the program) asks for no elevation.
signed() {
    osslsigncode verify -CAfile "$ca/ca.pem" -TSA-CAfile "$ca/ca.pem" -in "$1" >"$work/verify.log" 2>&1 &&
        grep -q 'Timestamp Server Signature verification: ok' "$work/verify.log" ||
        fail "$1 is not signed and time-stamped: $(cat "$work/verify.log")"
    [[ $1 == *Zorbel.exe ]] || grep -aq 'level="asInvoker"' "$1" || fail "$1: its manifest asks for elevation"
}
# The zip, the version records, the winget manifest; sets each scope's switches as winget joins them.
declare -A switches
source <(/usr/bin/python3 - "$work"/*.zip "$installer" "$work" "$releases" <<'CHECK' || echo 'fail "the packages or the winget manifest: above"'
import hashlib, os, pathlib, shlex, sys, zipfile, pefile, yaml
packed, installer, work, releases = sys.argv[1:]
def check(condition, what):
    condition or sys.exit(what)
zipped = zipfile.ZipFile(packed)
check(zipped.namelist() == ["Zorbel.exe"], f"the zip holds {zipped.namelist()}, not Zorbel.exe alone")
zipped.extractall(work + "/zipped")
def record(path):
    return {key.decode(): value.decode() for info in pefile.PE(path).FileInfo[0] if info.Key == b"StringFileInfo"
            for table in info.StringTable for key, value in table.entries.items()}
ours, its = record(installer), record(work + "/zipped/Zorbel.exe")
for key in ("ProductName", "CompanyName", "ProductVersion"):
    check(its.get(key) and ours.get(key) == its[key], f"the installer's {key} is {ours.get(key)!r}, the program's {its.get(key)!r}")
# One package, its name the program's, matched by winget by the uninstall entry's key (ProductCode).
manifests = {m["ManifestType"]: m for m in (yaml.safe_load(p.read_text("utf-8")) for p in pathlib.Path(work, "winget").iterdir())}
listed = manifests.get("installer", {})
names = {(m["PackageIdentifier"], m["PackageVersion"], m["ManifestVersion"][:4]) for m in manifests.values()}
check(sorted(manifests) == ["defaultLocale", "installer", "version"] and len(names) == 1 and names.pop()[2] == "1.6." and
      (manifests["defaultLocale"]["PackageName"], listed["InstallerType"], listed["ProductCode"]) == (its["ProductName"], "nullsoft", its["ProductName"]) and
      sorted(entry["Scope"] for entry in listed["Installers"]) == ["machine", "user"], f"the winget manifests: {manifests}")
sha256 = hashlib.sha256(pathlib.Path(installer).read_bytes()).hexdigest()
for entry in listed["Installers"]:
    check(entry["InstallerUrl"] == f"{releases}/{os.path.basename(installer)}" and entry["InstallerSha256"].lower() == sha256,
          f"{entry['Scope']}: {entry['InstallerUrl']} {entry['InstallerSha256']}, not the installer's")
    switches = entry["InstallerSwitches"]
    line = shlex.quote(f"{switches['Silent']} {switches.get('Custom', '')}")
    print(f"switches[{'AllUsers' if entry['Scope'] == 'machine' else 'CurrentUser'}]={line}")
CHECK
)
signed "$installer"
signed "$work/zipped/Zorbel.exe"
for round in 1 2; do # no time stamp here: it is the server's own
    cp "$(dirname "$1")/window/win32/Zorbel.exe" "$work/again-$round.exe" && ZORBEL_SIGN_TIMESTAMP_URL= SOURCE_DATE_EPOCH=1700000000 \
        bash "$here/../../cmake/sign/authenticode.sh" "$work/again-$round.exe"
done
cmp -s "$work/again-1.exe" "$work/again-2.exe" || fail "signing twice at the same time gave different bytes"

# Windows command lines, one a line, run as Windows runs an uninstall entry's: by no command interpreter.
command_lines() { ZORBEL_COMMAND_LINE=$1 wine "$in_wine" lines; }
# Each key's values after a line naming it, NAME=DATA a line (strings unescaped, DWORDs 0x…), or
# "no KEY". `reg export` writes UTF-16, where `reg query` loses other scripts to the code page.
keys() {
    local i lines=
    rm -f "$work"/key-*.reg
    for ((i = 1; i <= $#; i++)); do lines+="reg export \"${!i}\" \"Z:${work//\//\\}\\key-$i.reg\" /y"$'\n'; done
    command_lines "$lines" >/dev/null 2>&1 || true # a key that is not there fails its line
    for ((i = 1; i <= $#; i++)); do
        [ -f "$work/key-$i.reg" ] || { echo "no ${!i}" && continue; }
        echo "[${!i}]"
        iconv -f UTF-16 -t UTF-8 "$work/key-$i.reg" | tr -d '\r' |
            sed -n -e '/^"[^"]*"=dword:/{s/^"\([^"]*\)"=dword:\(.*\)/\1=0x\2/p;d}' \
                -e 's/^"\([^"]*\)"="\(.*\)"$/\1=\2/' -e 'T' -e 's/\\\(.\)/\1/g' -e 'p'
    done
}
value() { sed -n "s/^$1=//p" <<<"$entry"; }
key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Zorbel'
# What installing may change: files and folders outside Windows' own, on C: and D:, and Zorbel's keys.
files_state() {
    (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -print | sort &&
        find . -path ./windows -prune -o -type f -print0 | xargs -0r sha256sum 2>/dev/null | sort)
    (cd "$work/d" && find . | sort)
}
state() { files_state && keys "HKLM\\$key" "HKCU\\$key" 'HKLM\Software\Zorbel'; }
state_is() { state 2>/dev/null | cmp -s - "$1"; } # the remover may be deleting meanwhile
unix_path() { local drive=${1:0:1} rest=${1:3}; echo "$WINEPREFIX/dosdevices/${drive,,}:/${rest//\\//}"; } # of a Windows path

# Each mode's registry root, the other one's, and its Start-menu folder.
declare -A roots=([AllUsers]="HKLM HKCU ProgramData" [CurrentUser]="HKCU HKLM users/$(id -un)/AppData/Roaming")
# Installs for MODE into FOLDER (empty: the mode's own), checks it; with RUN, tries installing and
# uninstalling while the program runs; uninstalls by the entry's quiet line (PLAIN: the plain one).
install_round() {
    local mode=$1 folder=$2 run=${3:-} plain=${4:-} start=$SECONDS root other menu location place size kib
    local what="$mode into ${folder:-its own folder}" line="$installer_line ${switches[$mode]}${2:+ /D=$2}"
    read -r root other menu <<<"${roots[$mode]}"
    command_lines "$line" || fail "$what: the installer ended with status $?"
    entry=$(keys "$root\\$key" "$other\\$key")
    [[ $entry != "no "* && $entry == *"no $other"* ]] || fail "$what: not one uninstall entry, under $root: $entry"
    location=$(value InstallLocation)
    [ -z "$folder" ] || [ "$location" = "$folder" ] || fail "$what: the uninstall entry names '$location'"
    place=$(unix_path "$location")
    [ -f "$place/Zorbel.exe" ] || fail "$what: no Zorbel.exe in $place: $(find "$WINEPREFIX/drive_c" "$work/d" -name Zorbel.exe)"
    [ -f "$WINEPREFIX/drive_c/$menu/Microsoft/Windows/Start Menu/Programs/Zorbel/Zorbel.lnk" ] ||
        fail "$what: no Start-menu entry: $(find "$WINEPREFIX/drive_c" -name '*.lnk')"
    size=$(value EstimatedSize) kib=$(($(cat "$place"/* | wc -c) / 1024))
    [ -n "$size" ] && [ $((size)) -ge $((kib - 1)) ] && [ $((size)) -le $((kib + 1)) ] ||
        fail "$what: the uninstall entry's EstimatedSize is '$size', the folder holds $kib KiB"
    [ "$(value URLInfoAbout)" = "$homepage" ] || fail "$what: the uninstall entry's URLInfoAbout is not $homepage"
    [ -n "$folder" ] || signed "$place/Uninstall.exe"
    # An install that went ahead would write its own version again.
    [ -z "$run" ] || refused "$what" "$place" "reg add \"$root\\$key\" /v DisplayVersion /d 0.9 /f" "$line" "$(value QuietUninstallString)"
    line=$(value QuietUninstallString)
    [ -z "$plain" ] || line="\"$location\\Uninstall.exe\" /S"
    command_lines "$line" || fail "$what: the uninstaller ($line) ended with status $?"
    wait_until 20 state_is "$work/empty" || state | diff "$work/empty" - >&2 || fail "$what: uninstalling ($line) left the above behind" # its remover ends later
    echo "$what${run:+, run}${plain:+, uninstalled plainly}: $((SECONDS - start)) s"
}
# With the program in FOLDER running, after command line PREPARE, each further one fails, changing nothing.
refused() {
    local what=$1 line
    zorbel_start "$(wine_launcher "$2/Zorbel.exe")" "$work/zorbel.err"
    [ -z "$3" ] || command_lines "$3" >/dev/null
    state >"$work/before-refused"
    for line in "${@:4}"; do
        ! command_lines "$line" || fail "$what: $line ended with status 0 while Zorbel ran"
    done
    state | diff "$work/before-refused" - >&2 || fail "$what: a refused install or uninstall changed the above"
    zorbel_kill
}

xvfb_start
wine_prefix
mkdir "$work/d" "$WINEPREFIX/drive_c/Mia cartella" # D:, and a folder the user had
ln -s "$work/d" "$WINEPREFIX/dosdevices/d:"
state >"$work/empty"
installer_line="\"Z:${installer//\//\\}\""
install_round AllUsers "" run
install_round CurrentUser "" run plain

# Folder names a command interpreter would act on (one would make a folder if anything ran it), in
# other scripts, near MAX_PATH and on another drive. Only the longest, which could break the
# refusal's opening of the program's file, runs the program: such a round takes twice as long.
long="C:\\$(printf 'l%.0s' {1..120})\\$(printf 'm%.0s' {1..114})\\Zorbel" # its Uninstall.exe: MAX_PATH - 1
for folder in 'C:\Tom & Jerry\Zorbel' 'C:\Giochi & mkdir iniettato & rem\Zorbel' 'C:\Cartella %TEMP%\Zorbel' \
    'C:\a^b!c!\Zorbel' 'C:\Giochi (vecchi); uno, due\Zorbel' "C:\\L'altro\\Zorbel" 'C:\Perché più\Città già\Zorbel' \
    'C:\游戏\弹跳球' "$long" 'D:\Zorbel' 'C:\Mia cartella'; do
    install_round AllUsers "$folder" "$([ "$folder" != "$long" ] || echo run)"
    install_round CurrentUser "$folder" "" plain
done
injected=$(find "$WINEPREFIX" "$work" "$PWD" -iname 'iniettato*')
[ -z "$injected" ] || fail "a command in a folder's name ran: $injected"

# A second install for one user, elsewhere, takes the first's place (refused while it runs): one copy.
command_lines "$installer_line ${switches[CurrentUser]}" || fail "the first install for one user ended with status $?"
entry=$(keys "HKCU\\$key")
refused "installing elsewhere" "$(unix_path "$(value InstallLocation)")" "" \
    "$installer_line ${switches[CurrentUser]} /D=C:\Altrove\Zorbel"
install_round CurrentUser 'C:\Altrove\Zorbel'
echo "$(basename "$installer"): signed and time-stamped, as its winget manifest says; installed for all users and for one, into 11 named folders and in place of another copy, refused while Zorbel ran, uninstalled without a trace"
