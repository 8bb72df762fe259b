#!/bin/bash
# The push-message page (resources 2000 and 2001) in a real browser: headless
# Chromium from Debian loads it with a stand-in for the window's external
# object. "addImg" shows the image and calls ResizeDlg with its size, a click
# on it calls OpenUrl with the link and the close button HideMsgDialog;
# "setUrl" loads the inner frame with the query string the window's offer
# asks for, at the offer's size, and the offer page loads from the server;
# an address other than http(s) is never put into the page, and the click's
# OpenUrl carries the window's token once.
#   push_page_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
command -v chromium >/dev/null || { echo "chromium is not installed (scripts/setup.sh installs it)"; exit 77; }
base=$(cat "$build/servers/nginx/url")
log="$build/servers/nginx/access.log"
area=pushpage-test
site="$build/www/$area"
rm -rf "$site"
mkdir -p "$site"
cp "$source/res/push/message.html" "$site/2000.html"
cp "$source/res/push/message.js" "$site/2001"
cp "$build/src/art/close.png" "$site/2002"
cp "$build/src/art/close_hover.png" "$site/2003"
cp "$source/tests/pushpage/harness.html" "$site/harness.html"
convert -size 321x123 xc:orange "$site/banner.png"
printf '<!DOCTYPE html><html><body>offer</body></html>' > "$site/offer.html"
fail() { echo "FAIL: $*"; exit 1; }

before=$(stat -c %s "$log" 2>/dev/null || echo 0)
dom=$(bash "$source/tools/testing/chromium-dom.sh" "${base}${area}/harness.html")
for line in "functions function function" \
            "external ResizeDlg 321|123" \
            "banner shown block image 321x123" \
            "refused banner none src []" \
            "external OpenUrl http://example.invalid/go?a=1|b token [T1]" \
            "external OpenUrl http://example.invalid/go?a=1|b token []" \
            "refused offer src [about:blank]" \
            "external HideMsgDialog" \
            "offer shown block banner none" \
            "frame src offer.html?XA=XA7&amp;mac=MAC42&amp;isPackage=9&amp;id=P7&amp;code=&amp;platID=3 size 400x300" \
            "frame src offer.html?mac=MAC42&amp;isPackage=1&amp;id=S1&amp;code=K2&amp;platID=1 size 320x200" \
            "offer page loaded ?mac=MAC42&amp;isPackage=1&amp;id=S1&amp;code=K2&amp;platID=1" \
            "done"; do
  grep -qF "$line" <<<"$dom" || fail "the harness's log lacks [$line]: $dom"
done
# The ResizeDlg call came once, after the image had loaded.
notes=$(echo "$dom" | sed -n '/<pre id="log">/,/<\/pre>/p')
[ "$(echo "$notes" | grep -c "external ResizeDlg")" = 1 ] || fail "ResizeDlg more than once: $notes"
# No address the page was handed ran as its script.
! grep -q "script ran" <<<"$notes" || fail "a javascript: address ran in the page: $notes"
tail -c +$((before + 1)) "$log" | grep "GET /$area/offer.html" >/dev/null || fail "the offer page's request did not reach the server"
echo "push-message page: addImg, setUrl and the external calls as the window expects"
