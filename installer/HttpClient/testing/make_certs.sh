#!/usr/bin/env bash
# Makes the TLS material of one test run in DIR: a throw-away root CA, a
# server certificate it signs for 127.0.0.1 and localhost, an expired one it
# signs too, and a self-signed certificate that nothing trusts. The CA is
# also written in DER form for the Windows side, which trusts it only inside
# the test prefix and only while the tests run.
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"

quiet() { "$@" >/dev/null 2>&1 || { echo "make_certs: $* failed" >&2; "$@"; exit 1; }; }

cat > ca.cnf <<'CNF'
[req]
distinguished_name = dn
prompt = no
[dn]
CN = VARNO Test Root
[ca_ext]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[server_ext]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1, DNS:127.0.0.1, DNS:localhost
authorityKeyIdentifier = keyid
subjectKeyIdentifier = hash
[ca]
default_ca = test_ca
[test_ca]
dir = .
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any
copy_extensions = none
[any]
commonName = supplied
CNF
: > index.txt
echo 1000 > serial

quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 30 \
  -config ca.cnf -extensions ca_ext
quiet openssl x509 -in ca.pem -outform DER -out ca.der

# Valid server certificate, signed by the CA.
quiet openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj /CN=127.0.0.1
quiet openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 30 \
  -sha256 -extfile ca.cnf -extensions server_ext -out server.pem

# Expired server certificate, signed by the same CA (dates set through "ca").
quiet openssl req -newkey rsa:2048 -nodes -keyout expired.key -out expired.csr -subj /CN=127.0.0.1
quiet openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -in expired.csr \
  -startdate 20200101000000Z -enddate 20200201000000Z -extfile ca.cnf -extensions server_ext \
  -notext -out expired.pem

# Code-signing certificate, signed by the CA, and one under another name.
cat >> ca.cnf <<'SIGN'
[sign_ext]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
authorityKeyIdentifier = keyid
subjectKeyIdentifier = hash
SIGN
for who in "signer:VARNO Test Signer" "other:VARNO Other Signer"; do
  quiet openssl req -newkey rsa:2048 -nodes -keyout "${who%%:*}.key" -out "${who%%:*}.csr" -subj "/CN=${who#*:}"
  quiet openssl x509 -req -in "${who%%:*}.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days 30 \
    -sha256 -extfile ca.cnf -extensions sign_ext -out "${who%%:*}.pem"
done

# Self-signed certificate that no store trusts.
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout self.key -out self.pem -days 30 \
  -subj /CN=127.0.0.1 -addext "subjectAltName=IP:127.0.0.1,DNS:127.0.0.1,DNS:localhost"
