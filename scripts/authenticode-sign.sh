#!/usr/bin/env bash
# Signs a Windows program in place with Authenticode (SHA-256), or does nothing when no key is
# configured: authenticode-sign.sh FILE
#
#   CIPHERLOOM_SIGN_PKCS12         the certificate and its key, a PKCS#12 file
#   CIPHERLOOM_SIGN_PASSWORD_FILE  a file whose first line is that file's password
#   CIPHERLOOM_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server, optional
#
# CPack calls it for the program and makensis for the uninstaller and the installer. The file is
# replaced only by a complete signed copy, so a failure leaves no half-signed file.
set -euo pipefail
file=$1
[ -n "${CIPHERLOOM_SIGN_PKCS12:-}" ] || exit 0
if [ -z "${CIPHERLOOM_SIGN_PASSWORD_FILE:-}" ] || [ ! -r "$CIPHERLOOM_SIGN_PASSWORD_FILE" ]; then
    echo "authenticode-sign.sh: CIPHERLOOM_SIGN_PASSWORD_FILE names no readable file" >&2
    exit 1
fi

timestamp=()
if [ -n "${CIPHERLOOM_SIGN_TIMESTAMP_URL:-}" ]; then
    timestamp=(-ts "$CIPHERLOOM_SIGN_TIMESTAMP_URL")
fi
signed="$file.signed"
trap 'rm -f "$signed"' EXIT
# The options of Debian 12's osslsigncode 2.5, which later versions keep.
osslsigncode sign -pkcs12 "$CIPHERLOOM_SIGN_PKCS12" -readpass "$CIPHERLOOM_SIGN_PASSWORD_FILE" \
    -h sha256 -n Cipherloom "${timestamp[@]}" -in "$file" -out "$signed" >/dev/null
chmod --reference="$file" "$signed"
mv "$signed" "$file"
echo "Signed $(basename "$file")" >&2
