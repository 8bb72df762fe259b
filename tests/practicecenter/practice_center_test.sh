#!/bin/bash
# The practice-center test site in a real browser (headless Chromium from
# Debian): the practice page reports "type=loadComplete" when it has loaded,
# its buttons send the window commands by navigation, and the functions the
# launcher calls ("repair", "btnMax") exist and act; the loading page loads.
# The commands are seen where a plain browser sends them: in nginx's log.
#   practice_center_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
browser=$(command -v chromium || true)
if [ -z "$browser" ]; then
  echo "chromium is not installed (scripts/setup.sh installs it)"
  exit 77
fi
base=$(cat "$build/servers/nginx/url")
log="$build/servers/nginx/access.log"
area=practicecenter-test
rm -rf "$build/www/$area"
mkdir -p "$build/www/$area"
cp -r "$source/tools/practicecenter/site/." "$build/www/$area/"
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT

run_browser() {
  timeout 60 "$browser" --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --user-data-dir="$profile" \
    --virtual-time-budget=8000 --dump-dom "$1" 2>/dev/null
}
fail() { echo "FAIL: $*"; exit 1; }
# The page texts are searched from here-strings: with pipefail, "echo | grep -q"
# fails whenever grep has found its line and left before echo wrote the rest.

before=$(stat -c %s "$log" 2>/dev/null || echo 0)
page="${base}${area}/PracticeCenter/ExeIndex/Index?TQuestionPlanID=20261&code=ABC123XYZ&groupName=demo&isInContainer=true#selftest"
dom=$(run_browser "$page")
grep -q "题库 20261 · 机器码 ABC123XYZ · 在启动器中" <<<"$dom" || fail "the page did not read its query: $dom"
for line in "sent type=loadComplete" "sent type=system&amp;op=min" "sent type=system&amp;op=repair" \
            "sent type=system&amp;op=max" "sent type=system&amp;op=exit" "call repair -&gt; restored" \
            "call btnMax -&gt; maximised" "selftest done"; do
  grep -qF "$line" <<<"$dom" || fail "the page's log lacks [$line]: $dom"
done
# Every command reached the server as a navigation. nginx logs a request when
# it completes, so navigations of the hidden frame that overlap may be logged
# in another order than sent (seen under load): compare them sorted.
sent=$(tail -c +$((before + 1)) "$log" | grep -o "/$area/PracticeCenter/command/[^ ]*" | sed 's|.*/command/||' | LC_ALL=C sort | tr '\n' ' ')
[ "$sent" = "type=loadComplete type=system&op=exit type=system&op=max type=system&op=min type=system&op=repair " ] \
  || fail "commands seen by the server: [$sent]"

loading=$(run_browser "${base}${area}/areas/PracticeCenter/zqLoading2.html")
grep -q "澜石题库" <<<"$loading" || fail "the loading page: $loading"
echo "practice-center pages: commands and page functions as the launcher expects"
