#!/bin/sh
# Makes the test authority and the server certificates of the download tests
# in folder $1: good (for 127.0.0.1, from the authority), wrongname (for
# another name), expired (from the authority, ended in 2020) and selfsigned.
set -eu
cd "$1"
q() { "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }; }
key() { q openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1"; }

key ca.key
q openssl req -x509 -new -key ca.key -subj "/CN=Norvex Test Authority" -days 30 -out ca.pem \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign

mkdir -p ca.db
: > ca.db/index.txt
echo 1000 > ca.db/serial
cat > ca.cnf <<CNF
[ca]
default_ca = test
[test]
dir = ./ca.db
database = \$dir/index.txt
serial = \$dir/serial
new_certs_dir = \$dir
certificate = ca.pem
private_key = ca.key
default_md = sha256
policy = anything
unique_subject = no
copy_extensions = copy
[anything]
commonName = supplied
CNF

# sign NAME SAN [START END]: a certificate from the authority.
sign() {
  key "$1.key"
  q openssl req -new -key "$1.key" -subj "/CN=$1" -addext "subjectAltName=$2" -out "$1.csr"
  if [ $# -ge 4 ]; then
    q openssl ca -batch -config ca.cnf -notext -startdate "$3" -enddate "$4" -in "$1.csr" -out "$1.pem"
  else
    q openssl ca -batch -config ca.cnf -notext -days 30 -in "$1.csr" -out "$1.pem"
  fi
}
sign good "IP:127.0.0.1,DNS:localhost"
sign wrongname "DNS:wrong.example"
sign expired "IP:127.0.0.1,DNS:localhost" 20200101000000Z 20200201000000Z

key selfsigned.key
q openssl req -x509 -new -key selfsigned.key -subj "/CN=127.0.0.1" -days 30 \
  -addext "subjectAltName=IP:127.0.0.1" -out selfsigned.pem
