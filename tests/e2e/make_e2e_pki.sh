#!/usr/bin/env bash
# Makes the keys the end-to-end build of the updater is configured with:
#   make_e2e_pki.sh <output directory>
# - signing_root.pem: the Authenticode trust anchor embedded in that build;
#   signing_chain.pem + signing_leaf.key sign the served installers;
# - stranger_chain.pem + stranger_leaf.key: a publisher under a root nobody trusts;
# - any_use_chain.pem + any_use_leaf.key: a leaf under the signing root that
#   allows any extended key usage but does not name code signing;
# - tls_ca.pem: the CA bundle of that build; tls_server.pem + tls_server.key:
#   the update service's certificate for 127.0.0.1 and localhost.
# Run when the build is configured, since the anchors become part of the program.
set -euo pipefail

output=$(realpath -m "$1")
# Its layout's version: an older one is made again.
version=2
[ "$(cat "$output/complete" 2>/dev/null)" = "$version" ] && exit 0
work="$output.partial"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

cat >ext.cnf <<'CNF'
[ca]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[code_signing]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
authorityKeyIdentifier = keyid
[any_use]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = anyExtendedKeyUsage
authorityKeyIdentifier = keyid
[server]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1, DNS:localhost
authorityKeyIdentifier = keyid
CNF

key() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1.key" 2>/dev/null; }
# root <name> <common name>
root() {
  key "$1"
  openssl req -x509 -new -key "$1.key" -subj "/CN=$2" -days 36500 -sha256 \
    -extensions ca -config <(printf '[req]\ndistinguished_name=dn\n[dn]\n'; cat ext.cnf) \
    -out "$1.pem" 2>/dev/null
}
# issue <name> <common name> <issuer> <extensions>
issue() {
  key "$1"
  openssl req -new -key "$1.key" -subj "/CN=$2" -out "$1.csr" 2>/dev/null
  openssl x509 -req -in "$1.csr" -CA "$3.pem" -CAkey "$3.key" -CAcreateserial -days 36500 \
    -sha256 -extfile ext.cnf -extensions "$4" -out "$1.pem" 2>/dev/null
  rm "$1.csr"
}

root signing_root "Updater End-to-End Signing Root"
issue signing_leaf "Updater End-to-End Publisher" signing_root code_signing
cat signing_leaf.pem >signing_chain.pem
issue any_use_leaf "Updater End-to-End Publisher For Any Use" signing_root any_use
cat any_use_leaf.pem >any_use_chain.pem
root stranger_root "Updater End-to-End Unknown Root"
issue stranger_leaf "Updater End-to-End Unknown Publisher" stranger_root code_signing
cat stranger_leaf.pem >stranger_chain.pem
root tls_ca "Updater End-to-End TLS CA"
issue tls_server "127.0.0.1" tls_ca server
rm -f ./*.srl
echo "$version" >complete
cd ..
rm -rf "$output"
mv "$work" "$output"
