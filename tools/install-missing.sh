set -euo pipefail
# Installs, from Debian's packages, those of the named packages that are not
# installed yet (through sudo when not root), in one call of apt-get, each
# package once. Source it, then:
#
#   install_missing PACKAGE...

install_missing() {
    local package unique missing=() sudo=()
    mapfile -t unique < <(printf '%s\n' "$@" | sort -u)
    for package in "${unique[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -gt 0 ] || return 0
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
