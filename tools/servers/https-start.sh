#!/bin/bash
# Starts Debian's nginx over https on a free loopback port, with a test
# certificate authority made here and trusted by the machine for as long as
# the server runs.
#
#   https-start.sh STATE_DIR DOCROOT
#
# STATE_DIR gets the CA and the server's certificate (made with openssl: the
# name is the DNS subjectAltName "localhost", since Wine's WinINet checks the
# name against DNS names and refuses an IP address with 12038), the
# configuration, logs, and the files "port" and "url"
# ("https://localhost:PORT/"). DOCROOT is served at "/"; "/to-http/X"
# redirects (302) to "http://127.0.0.1:PORT/X", for the test that https
# never gives way to http.
#
# Wine's WinINet trusts a CA only when it is in the machine's trust store
# (a CA only in the Wine prefix's Root store gives 12057), so the CA goes to
# /usr/local/share/ca-certificates under a name of this STATE_DIR and
# update-ca-certificates is run (as root). https-stop.sh takes it out again;
# so does this script when the server does not start.
set -eu
state=$(mkdir -p "$1" && cd "$1" && pwd)
docroot=$(mkdir -p "$2" && cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
nginx=${NGINX:-/usr/sbin/nginx}
ca_name="mirefold-test-$(echo "$state" | md5sum | cut -c1-12).crt"

"$here/https-stop.sh" "$state" >/dev/null 2>&1 || true
mkdir -p "$state/temp"
rm -f "$state/port" "$state/url"
echo "$ca_name" > "$state/ca-name"

trust_removed() {
  rm -f "/usr/local/share/ca-certificates/$ca_name"
  update-ca-certificates >/dev/null 2>&1 || true
}

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Mirefold test CA" \
  -keyout "$state/ca.key" -out "$state/ca.crt" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" \
  -keyout "$state/server.key" -out "$state/server.csr" 2>/dev/null
printf 'subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' > "$state/server.ext"
openssl x509 -req -in "$state/server.csr" -CA "$state/ca.crt" -CAkey "$state/ca.key" -CAcreateserial \
  -days 2 -out "$state/server.crt" -extfile "$state/server.ext" 2>/dev/null

cp "$state/ca.crt" "/usr/local/share/ca-certificates/$ca_name"
update-ca-certificates >/dev/null 2>&1

user_line=""
[ "$(id -u)" = 0 ] && user_line="user root root;"
for try in 1 2 3 4 5; do
  port=$(python3 "$here/free-port.py")
  cat > "$state/nginx.conf" <<CONF
$user_line
worker_processes 1;
daemon on;
pid $state/nginx.pid;
error_log $state/error.log warn;
events { worker_connections 256; }
http {
  log_format mirefold '\$status \$request_method \$uri';
  access_log $state/access.log mirefold;
  default_type application/octet-stream;
  client_body_temp_path $state/temp/body;
  proxy_temp_path $state/temp/proxy;
  fastcgi_temp_path $state/temp/fastcgi;
  uwsgi_temp_path $state/temp/uwsgi;
  scgi_temp_path $state/temp/scgi;
  server {
    listen 127.0.0.1:$port ssl;
    server_name localhost;
    ssl_certificate $state/server.crt;
    ssl_certificate_key $state/server.key;
    root $docroot;
    location ~ ^/to-http/(.*)\$ {
      return 302 http://127.0.0.1:$port/\$1;
    }
  }
}
CONF
  if "$nginx" -p "$state" -c "$state/nginx.conf" -e "$state/error.log" 2>>"$state/error.log"; then
    for i in $(seq 1 50); do
      if [ -s "$state/nginx.pid" ] && python3 - "$port" "$state/ca.crt" <<'PY'
import socket, ssl, sys
context = ssl.create_default_context(cafile=sys.argv[2])
with socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=1) as raw:
    with context.wrap_socket(raw, server_hostname="localhost"):
        pass
PY
      then
        echo "$port" > "$state/port"
        echo "https://localhost:$port/" > "$state/url"
        echo "nginx serving $docroot at https://localhost:$port/"
        exit 0
      fi
      sleep 0.1
    done
  fi
  "$here/nginx-stop.sh" "$state" >/dev/null 2>&1 || true
done
trust_removed
echo "nginx (https) did not start; see $state/error.log" >&2
exit 1
