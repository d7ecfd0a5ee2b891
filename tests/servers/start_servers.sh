#!/usr/bin/env bash
# Starts the HTTP/HTTPS test server in the background for a test run.
#   start_servers.sh <work-dir> <state-file>
# Makes a test CA and a "localhost" server certificate with openssl in
# <work-dir>, starts the server there and waits until it has written
# <state-file> (ports, record file, pid). A server left over from an earlier
# run that never cleaned up (same work folder) is stopped first.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$1
state=$2
mkdir -p "$work" "$(dirname "$state")"

bash "$here/stop_servers.sh" "$work" "$state"

python=/usr/bin/python3
[ -x "$python" ] || python=$(command -v python3)

cd "$work"
rm -f ca.* server.* requests.log
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -sha256 -subj "/CN=Tds Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -keyout ca.key -out ca.pem >/dev/null 2>&1
openssl x509 -in ca.pem -outform DER -out ca.cer
openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout server.key -out server.csr \
  >/dev/null 2>&1
printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature,keyEncipherment" \
  "extendedKeyUsage=serverAuth" "subjectAltName=DNS:localhost" > server.ext
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -sha256 \
  -extfile server.ext -out server.pem >/dev/null 2>&1

mkdir -p files
# Everything of the server's stdio goes to files: an inherited pipe would keep
# CTest waiting for this step to end.
setsid "$python" "$here/http_test_server.py" --state "$state" --log "$work/requests.log" \
  --cert server.pem --key server.key --files "$work/files" \
  >"$work/server.out" 2>&1 </dev/null &
echo $! > "$work/server.pid"

for _ in $(seq 100); do
  [ -s "$state" ] && exit 0
  if ! kill -0 "$(cat "$work/server.pid")" 2>/dev/null; then
    cat "$work/server.out" >&2
    exit 1
  fi
  sleep 0.1
done
echo "test server did not start" >&2
exit 1
