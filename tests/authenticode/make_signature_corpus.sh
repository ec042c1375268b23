#!/usr/bin/env bash
# Makes the signed-installer corpus for the signature tests:
#   make_signature_corpus.sh <write_test_pe> <output directory>
# A test root with an intermediate, leaves that are good, expired, not yet
# valid, or not for code signing, a second root nobody trusts, and PE32/PE32+
# images signed with each. Built beside the output and moved into place, so a
# reader never sees half a corpus.
set -euo pipefail

writer=$(realpath "$1")
output=$(realpath -m "$2")
work="$output.partial"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

cat >openssl.cnf <<'CNF'
[req]
distinguished_name = dn
prompt = no
[dn]
CN = placeholder

[ca]
default_ca = test_ca
[test_ca]
database = index.txt
serial = serial
new_certs_dir = .
default_md = sha256
policy = any_name
unique_subject = no
email_in_dn = no
[any_name]
commonName = supplied

[root]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[intermediate]
basicConstraints = critical, CA:true, pathlen:0
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[code_signing]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[any_use_leaf]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = anyExtendedKeyUsage
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[any_use_intermediate]
basicConstraints = critical, CA:true, pathlen:0
keyUsage = critical, keyCertSign, cRLSign
extendedKeyUsage = anyExtendedKeyUsage
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[server_auth]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF
touch index.txt
echo 1000 >serial

valid_from=20200101000000Z
valid_to=20991231235959Z

new_key() {
  openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1.key" 2>/dev/null
}

# issue <name> <common name> <key> <issuer certificate> <issuer key> <extensions> <from> <to>
issue() {
  openssl req -new -config openssl.cnf -key "$3.key" -subj "/CN=$2" -out "$1.csr"
  local issuer_args=(-cert "$4.pem")
  [ "$4" = "$1" ] && issuer_args=(-selfsign)
  openssl ca -batch -notext -config openssl.cnf "${issuer_args[@]}" -keyfile "$5.key" \
    -in "$1.csr" -out "$1.pem" -extensions "$6" -startdate "$7" -enddate "$8" 2>ca.log ||
    { cat ca.log >&2; return 1; }
}

new_key root
new_key intermediate
new_key leaf
new_key other_root
issue root "Updater Test Root" root root root root $valid_from $valid_to
issue intermediate "Updater Test Intermediate" intermediate root root intermediate \
  $valid_from $valid_to
issue expired_intermediate "Updater Test Expired Intermediate" intermediate root root \
  intermediate 20100101000000Z 20110101000000Z
issue leaf "Updater Test Publisher" leaf intermediate intermediate code_signing \
  $valid_from $valid_to
issue expired_leaf "Updater Test Expired Publisher" leaf intermediate intermediate code_signing \
  20100101000000Z 20110101000000Z
issue future_leaf "Updater Test Future Publisher" leaf intermediate intermediate code_signing \
  20900101000000Z 20950101000000Z
issue server_leaf "Updater Test Server" leaf intermediate intermediate server_auth \
  $valid_from $valid_to
issue any_use_leaf "Updater Test Publisher For Any Use" leaf intermediate intermediate \
  any_use_leaf $valid_from $valid_to
issue any_use_intermediate "Updater Test Intermediate For Any Use" intermediate root root \
  any_use_intermediate $valid_from $valid_to
issue leaf_of_any_use "Updater Test Publisher Under Any Use" leaf any_use_intermediate \
  intermediate code_signing $valid_from $valid_to
issue leaf_of_expired "Updater Test Publisher Under Expired" leaf expired_intermediate \
  intermediate code_signing $valid_from $valid_to
issue other_root "Updater Test Unknown Root" other_root other_root other_root root \
  $valid_from $valid_to
issue other_leaf "Updater Test Unknown Publisher" leaf other_root other_root code_signing \
  $valid_from $valid_to

"$writer" pe32 6000 unsigned_pe32.exe
"$writer" pe32plus 9000 unsigned_pe32plus.exe
echo "This is not an installer." >text.txt

# sign <output> <input> <hash> <certificate>... (the leaf first)
sign() {
  local output_file=$1 input=$2 hash=$3
  shift 3
  cat "${@/%/.pem}" >"$output_file.certs"
  osslsigncode sign -certs "$output_file.certs" -key leaf.key -h "$hash" \
    -in "$input" -out "$output_file" >/dev/null
  rm "$output_file.certs"
}

sign pe32_sha1.exe unsigned_pe32.exe sha1 leaf intermediate
sign pe32_sha256.exe unsigned_pe32.exe sha256 leaf intermediate
sign pe32_sha384.exe unsigned_pe32.exe sha384 leaf intermediate
sign pe32plus_sha1.exe unsigned_pe32plus.exe sha1 leaf intermediate
sign pe32plus_sha256.exe unsigned_pe32plus.exe sha256 leaf intermediate
sign pe32plus_sha512.exe unsigned_pe32plus.exe sha512 leaf intermediate
sign expired_leaf.exe unsigned_pe32plus.exe sha256 expired_leaf intermediate
sign future_leaf.exe unsigned_pe32plus.exe sha256 future_leaf intermediate
sign expired_intermediate.exe unsigned_pe32plus.exe sha256 leaf_of_expired expired_intermediate
sign server_auth_leaf.exe unsigned_pe32plus.exe sha256 server_leaf intermediate
sign unknown_root.exe unsigned_pe32plus.exe sha256 other_leaf
sign missing_intermediate.exe unsigned_pe32plus.exe sha256 leaf
sign any_use_leaf.exe unsigned_pe32plus.exe sha256 any_use_leaf intermediate
sign any_use_intermediate.exe unsigned_pe32plus.exe sha256 leaf_of_any_use any_use_intermediate
# A second signature nested in the first one's unsigned attributes, and an
# attribute of osslsigncode's own that no signature covers.
cat leaf.pem intermediate.pem >chain.certs
osslsigncode sign -nest -certs chain.certs -key leaf.key -h sha256 -in pe32plus_sha1.exe \
  -out nested_signature.exe >/dev/null
osslsigncode add -addUnauthenticatedBlob -in pe32plus_sha256.exe -out unauthenticated_blob.exe \
  >/dev/null
rm chain.certs

rm -f ./*.csr ./*.old ./*.attr ca.log index.txt* serial* ./[0-9A-F][0-9A-F]*.pem
cd ..
rm -rf "$output"
mv "$work" "$output"
