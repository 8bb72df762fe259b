#!/bin/bash
# Every zip variant that mirefold-publish writes is accepted by Info-ZIP's
# unzip -t and unpacks (unzip -p) to the published file and the release
# file, byte for byte; with and without --zip-if-smaller and --previous.
# The Windows tests check the same variants with the engine's zip reader.
#
#   unzip_check.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d "$build/publish-unzip.XXXXXX")
trap 'rm -rf "$work"' EXIT
publish() { "$build/wine-run.sh" "$build/bin/mirefold-publish.exe" "$@" --quiet; }

rel=$work/release
mkdir -p "$rel/bin/插件" "$rel/data/题库" "$rel/docs"
printf 'MZ app\r\n' > "$rel/bin/app.exe"
seq 1 20000 > "$rel/bin/插件/组件.dll"
: > "$rel/data/empty.dat"
python3 -c "import random,sys; r=random.Random(5); sys.stdout.buffer.write(bytes(r.getrandbits(8) for _ in range(300000)))" > "$rel/data/noise.bin"
python3 -c "import sys; sys.stdout.buffer.write(('题库 question answer chapter\\n' * 120000).encode()[:3145728])" > "$rel/data/题库/第一章.db"
printf '说明\r\n' > "$rel/docs/说明.txt"
cat > "$rel/mirefold-publish.ini" <<'INI'
[file:bin\app.exe]
shortcut={desktop}\题库.lnk
shortcuticon=bin\app.exe
[delete]
old\legacy.dll
[command:hello]
path=cmd.exe
param=/c echo hello
INI

check() {  # OUT_FOLDER EXPECTED_VARIANTS
  local out=$1 expected=$2 count=0 zip plain name
  while IFS= read -r -d '' zip; do
    plain=${zip%._.zip}
    name=$(basename "$plain")
    unzip -tqq "$zip" || { echo "unzip -t refuses $zip" >&2; exit 1; }
    [ "$(unzip -Z1 "$zip")" = "$name" ] || { echo "$zip: entries $(unzip -Z1 "$zip"), not $name" >&2; exit 1; }
    unzip -p "$zip" | cmp -s - "$plain" || { echo "$zip does not unpack to $plain" >&2; exit 1; }
    if [ "$name" != update.xml ] && [ "$name" != product.xml ]; then
      cmp -s "$plain" "$rel/${plain#"$out"/}" || { echo "$plain differs from the release" >&2; exit 1; }
    fi
    count=$((count + 1))
  done < <(find "$out" -name '*._.zip' -print0)
  [ "$count" = "$expected" ] || { echo "$out: $count zip variants, expected $expected" >&2; exit 1; }
}

publish "$rel" "$work/v1"
check "$work/v1" 7                      # six files and the list

printf 'MZ app 2\r\n' > "$rel/bin/app.exe"
echo more >> "$rel/docs/说明.txt"
changes=$(publish "$rel" "$work/v2" --previous "$work/v1" | grep -E '^(changed|removed) ' | sort)
expected=$(printf 'changed bin\\app.exe\nchanged docs\\说明.txt')
[ "$changes" = "$expected" ] || { printf 'changes:\n%s\nexpected:\n%s\n' "$changes" "$expected" >&2; exit 1; }
check "$work/v2" 7

publish "$rel" "$work/v3" --zip-if-smaller --list-name product.xml
check "$work/v3" 3                      # the list, 组件.dll and 第一章.db shrink; the rest do not
echo "every variant accepted by unzip -t and unpacked byte for byte"
