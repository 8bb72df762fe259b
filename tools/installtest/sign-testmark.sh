#!/bin/bash
# Signs a copy of the trace program with a certificate made here (its own
# root, "Mirefold Test Signer", for code signing), as a publisher signs an
# installer: the installer checks need a signed file whose root no system
# trusts until a test adds it. Writes SIGNED and the certificate as DER.
# Usage: sign-testmark.sh PROGRAM SIGNED CERTIFICATE.der
set -euo pipefail
program=$1 signed=$2 der=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -sha256 -subj "/CN=Mirefold Test Signer" \
  -addext "keyUsage=critical,digitalSignature,keyCertSign" -addext "extendedKeyUsage=codeSigning" \
  -addext "basicConstraints=critical,CA:TRUE" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl x509 -in "$work/cert.pem" -outform DER -out "$der"
rm -f "$signed"
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -h sha256 -n "Mirefold test installer" \
  -in "$program" -out "$signed" >/dev/null
