#!/usr/bin/env bash
# Signs a release with a throw-away certificate and checks it as Windows would (make signing-check):
#
#   tests/packaging/signing_round_trip.sh [WORK]      (default build/signing)
#
# A test CA and a code-signing certificate it issued, in a PKCS#12 file with a password. A wrong
# password, and a missing one, stop make release with a message saying so, before anything is
# written to its dist/. With the right one, the release's checksums hold, and under Wine
# (tests/wine/wine_e2e.py) osslsigncode verifies cipherloom.exe from the zip, the installer and
# what it installs against the CA, and the signed program generates a password from both.
set -euo pipefail
repo="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(realpath -m "${1:-$repo/build/signing}")"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

fail() {
    echo "FAIL signing: $*" >&2
    exit 1
}

openssl req -x509 -newkey rsa:3072 -nodes -keyout ca.key -out ca.pem -days 7 \
    -subj "/CN=Cipherloom throw-away test CA" \
    -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign,cRLSign \
    2>/dev/null
openssl req -newkey rsa:3072 -nodes -keyout signer.key -out signer.csr \
    -subj "/CN=Cipherloom throw-away test signer" 2>/dev/null
printf '%s\n' basicConstraints=CA:false keyUsage=critical,digitalSignature \
    extendedKeyUsage=codeSigning >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 7 \
    -extfile signer.ext -out signer.pem 2>/dev/null
echo "a password with spaces" >password
echo "not the password" >wrong-password
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.p12 \
    -passout file:password

release() {
    (cd "$repo" && env CIPHERLOOM_SIGN_PKCS12="$work/signer.p12" CIPHERLOOM_DIST="$work/dist" \
        "$@" make release JOBS="${JOBS:-2}")
}

# Stopped before anything is built: nothing in dist/, a message that names the cause.
for case in "wrong-password:wrong password" ":CIPHERLOOM_SIGN_PASSWORD_FILE"; do
    file="${case%%:*}" expected="${case#*:}"
    status=0
    release CIPHERLOOM_SIGN_PASSWORD_FILE="${file:+$work/$file}" >output 2>&1 || status=$?
    [ "$status" -ne 0 ] || fail "make release succeeded with password file '${file:-none}'"
    grep -q "$expected" output || fail "no '$expected' in the message: $(tail -n 3 output)"
    [ ! -e dist ] || fail "make release left $work/dist behind: $(ls dist)"
done

release CIPHERLOOM_SIGN_PASSWORD_FILE="$work/password"
grep -q "Authenticode (SHA-256)" dist/SIGNING.txt || fail "SIGNING.txt: $(cat dist/SIGNING.txt)"
(cd dist && sha256sum --check --quiet SHA256SUMS) || fail "SHA256SUMS does not match"
zip=(dist/Cipherloom-*-win64.zip)
setup=(dist/Cipherloom-*-win64-setup.exe)
"$repo/tests/wine/session.sh" /usr/bin/python3 "$repo/tests/wine/wine_e2e.py" \
    --zip "${zip[0]}" --setup "${setup[0]}" --ca ca.pem signed_program_runs_from_zip_and_installed
