#!/usr/bin/env bash
# Signs a Windows program or installer in place with Authenticode, when
# ZORBEL_SIGN_PKCS12 names a PKCS#12 file with the code-signing certificate
# and its key (the password in ZORBEL_SIGN_PASSWORD), time-stamped by the
# RFC 3161 server at ZORBEL_SIGN_TIMESTAMP_URL when one is given. Without a
# certificate it does nothing. The signing time is SOURCE_DATE_EPOCH when
# set, so signing the same file again gives the same bytes (a time stamp is
# the server's own).
# Usage: authenticode.sh FILE
set -euo pipefail
file=$1
[ -n "${ZORBEL_SIGN_PKCS12:-}" ] || exit 0
arguments=(sign -pkcs12 "$ZORBEL_SIGN_PKCS12" -readpass - -h sha256 -n Zorbel)
[ -z "${ZORBEL_SIGN_TIMESTAMP_URL:-}" ] || arguments+=(-ts "$ZORBEL_SIGN_TIMESTAMP_URL")
[ -z "${SOURCE_DATE_EPOCH:-}" ] || arguments+=(-time "$SOURCE_DATE_EPOCH")
if ! report=$(printf %s "${ZORBEL_SIGN_PASSWORD:-}" | osslsigncode "${arguments[@]}" -in "$file" -out "$file.signed" 2>&1); then
    rm -f "$file.signed"
    echo "could not sign $file: $report" >&2
    exit 1
fi
mv -f "$file.signed" "$file"
