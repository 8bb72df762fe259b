#!/bin/bash
# Starts the digest service and writes the check's fixture files (zip
# variants of lists, a parameter package) into the web server's tree.
#
#   checkservice-start.sh STATE_DIR DOCROOT
set -eu
state=$(mkdir -p "$1" && cd "$1" && pwd)
docroot=$(mkdir -p "$2" && cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

"$here/checkservice-stop.sh" "$state" >/dev/null 2>&1 || true
rm -f "$state/port" "$state/url" "$state/requests.log"
nohup python3 "$here/digest-service.py" "$state" >"$state/service.log" 2>&1 &
echo $! > "$state/pid"
for i in $(seq 1 100); do
  [ -s "$state/url" ] && break
  sleep 0.05
done
[ -s "$state/url" ] || { echo "digest service did not start" >&2; exit 1; }

# Zip archives made by the real zip tool.
fixtures="$docroot/check-fixtures"
rm -rf "$fixtures"; mkdir -p "$fixtures/zipped" "$fixtures/package"
cat > "$fixtures/zipped/update.xml" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<update><file path="zipped-a.dll" ver="1"/><file path="zipped-b.dll" ver="1"/></update>
XML
cat > "$fixtures/zipped/main.xml" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<update><file path="m.dll" ver="1"/></update>
XML
# The product list only as a zip variant (update.xml) or only plain
# (plain-update.xml); the main list in both forms.
(cd "$fixtures/zipped" && zip -q -X update.xml._.zip update.xml && mv update.xml plain-update.xml \
   && zip -q -X main.xml._.zip main.xml)
printf '<?xml version="1.0"?>\n<fields><threadcount>99</threadcount><filethread>0</filethread><product>qb</product></fields>\n' \
  > "$fixtures/package/"$'\x01\x02\x03\x04\x05'
(cd "$fixtures/package" && zip -q -X -P 'Mirefold.ParameterPackage/2026#qbank!?' package.bin $'\x01\x02\x03\x04\x05' \
   && rm -f $'\x01\x02\x03\x04\x05')
(cd "$fixtures/package" && printf '<fields><threadcount>3</threadcount></fields>' > $'\x01\x02\x03\x04\x05' \
   && zip -q -X -P 'another password' wrong-password.bin $'\x01\x02\x03\x04\x05' && rm -f $'\x01\x02\x03\x04\x05')
# Hostile packages, as anybody who can write to the temporary folder could
# leave them: an entry that declares 0xFFFFFFF7 bytes (the zip holds a small
# deflated stream that unpacks to 64 KiB), one larger than any package, and
# one whose fields name configuration keys.
mkdir -p "$fixtures/package/hostile"
entry=$'\x01\x02\x03\x04\x05'
(cd "$fixtures/package/hostile" \
   && python3 -c 'import sys; sys.stdout.write("<fields><threadcount>2</threadcount>" + " " * 65500 + "</fields>")' > "$entry" \
   && zip -q -X -9 -P 'Mirefold.ParameterPackage/2026#qbank!?' declared-huge.bin "$entry" \
   && python3 - declared-huge.bin <<'PY'
import struct, sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
central = data.find(b"PK\x01\x02")
struct.pack_into("<I", data, central + 24, 0xFFFFFFF7)
local = data.find(b"PK\x03\x04")
if struct.unpack_from("<I", data, local + 22)[0]:
    struct.pack_into("<I", data, local + 22, 0xFFFFFFF7)
open(path, "wb").write(bytes(data))
PY
   python3 -c 'import sys; sys.stdout.write("<fields><threadcount>2</threadcount><!--" + "x" * 70000 + "--></fields>")' > "$entry" \
   && zip -q -X -9 -P 'Mirefold.ParameterPackage/2026#qbank!?' too-large.bin "$entry" \
   && printf '<fields><UPDATEINFOListURL>http://127.0.0.1:9/evil.xml</UPDATEINFOListURL><APPLICATIONApplication>evil.exe</APPLICATIONApplication><commandline>evil</commandline><threadcount>3</threadcount><frommwebsvr>true</frommwebsvr></fields>' > "$entry" \
   && zip -q -X -P 'Mirefold.ParameterPackage/2026#qbank!?' config-fields.bin "$entry" \
   && rm -f "$entry")
echo "digest service at $(cat "$state/url")"
