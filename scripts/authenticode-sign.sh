#!/usr/bin/env bash
# authenticode-sign.sh FILE: signs a Windows program in place with Authenticode (SHA-256) with the
# PKCS#12 file CIPHERLOOM_SIGN_PKCS12, whose password is the first line of
# CIPHERLOOM_SIGN_PASSWORD_FILE, and the RFC 3161 server CIPHERLOOM_SIGN_TIMESTAMP_URL if set; does
# nothing without a key. The file is replaced only by a complete signed copy.
set -euo pipefail
file=$1
[ -n "${CIPHERLOOM_SIGN_PKCS12:-}" ] || exit 0
if [ -z "${CIPHERLOOM_SIGN_PASSWORD_FILE:-}" ] || [ ! -r "$CIPHERLOOM_SIGN_PASSWORD_FILE" ]; then
    echo "authenticode-sign.sh: CIPHERLOOM_SIGN_PASSWORD_FILE names no readable file" >&2
    exit 1
fi

signed="$file.signed"
trap 'rm -f "$signed"' EXIT
# The options of Debian 12's osslsigncode 2.5, which later versions keep.
osslsigncode sign -pkcs12 "$CIPHERLOOM_SIGN_PKCS12" -readpass "$CIPHERLOOM_SIGN_PASSWORD_FILE" \
    -h sha256 -n Cipherloom ${CIPHERLOOM_SIGN_TIMESTAMP_URL:+-ts "$CIPHERLOOM_SIGN_TIMESTAMP_URL"} \
    -in "$file" -out "$signed" >/dev/null
chmod --reference="$file" "$signed"
mv "$signed" "$file"
echo "Signed $(basename "$file")" >&2
