#!/usr/bin/env bash
# Unpacks the release zip as a user would and opens each guide page in Debian's chromium,
# headless: every picture must decode and every link must lead to a file of the zip.
# Also checks what the zip holds and that readme.txt is what Notepad shows as text.
# Writes a screenshot of each page to OUT_DIR for a person to look at.
#   tests/release/guides_in_browser.sh ZIP OUT_DIR
set -euo pipefail
zip="$(realpath "$1")"
out="$(realpath -m "$2")"
here="$(cd "$(dirname "$0")" && pwd)"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$out"
mkdir -p "$out/unpacked"
(cd "$out/unpacked" && cmake -E tar xf "$zip")

expected="LICENSE-VMAF-MODEL.txt
LICENSE.txt
guide.en.html
guide.ja.html
morvith-window.png
morvith.auf
morvith_ex-graph.png
morvith_ex-preview.png
morvith_ex-window.png
morvith_ex.auf
readme.txt"
held="$(cd "$out/unpacked" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)"
[ "$held" = "$expected" ] || fail "the zip holds"$'\n'"$held"$'\n'"instead of"$'\n'"$expected"

readme="$out/unpacked/readme.txt"
if [ -f "$readme" ]; then
    [ "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "readme.txt does not start with a UTF-8 byte-order mark"
    lines=$(grep -c '' "$readme")
    crlf=$(grep -c $'\r$' "$readme" || true)
    [ "$lines" = "$crlf" ] || fail "readme.txt: $((lines - crlf)) of $lines lines do not end in CR LF"
    iconv -f UTF-8 -t UTF-8 "$readme" >/dev/null || fail "readme.txt is not UTF-8"
    grep -q '【日本語】' "$readme" && grep -q '【English】' "$readme" || fail "readme.txt lacks a language section"
    [ "$(grep -n '【日本語】' "$readme" | cut -d: -f1)" -lt "$(grep -n '【English】' "$readme" | cut -d: -f1)" ] ||
        fail "readme.txt: the Japanese part must come first"
    for named in $(grep -o '[A-Za-z_.-]*\.\(html\|txt\|auf\)' "$readme" | sort -u); do
        [ -f "$out/unpacked/$named" ] || fail "readme.txt names $named, which the zip does not hold"
    done
fi

browser=(chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run
         --disable-background-networking --disable-component-update --disable-sync)
cp "$here/check_page.html" "$out/unpacked/.check_page.html"
for page in guide.ja.html guide.en.html; do
    [ -f "$out/unpacked/$page" ] || continue
    profile="$(mktemp -d)"
    report="$(timeout 120 "${browser[@]}" --user-data-dir="$profile" --allow-file-access-from-files \
        --virtual-time-budget=20000 --dump-dom "file://$out/unpacked/.check_page.html?page=$page" 2>/dev/null |
        sed -n '/<pre id="report">/,/<\/pre>/p' | sed 's/<[^>]*>//g')"
    rm -rf "$profile"
    echo "$page:"
    echo "$report" | sed 's/^/  /'
    echo "$report" | grep -qx done || fail "$page: the check did not finish"
    echo "$report" | grep -q '^ok picture' || fail "$page: no picture"
    echo "$report" | grep -q '^headings [1-9]' || fail "$page: no headings, so not rendered from markdown"
    if echo "$report" | grep -q '^FAIL'; then fail "$page: $(echo "$report" | grep -c '^FAIL') failed checks"; fi

    profile="$(mktemp -d)"
    timeout 120 "${browser[@]}" --user-data-dir="$profile" --hide-scrollbars --window-size=1000,7000 \
        --screenshot="$out/${page%.html}.png" "file://$out/unpacked/$page" >/dev/null 2>&1 ||
        fail "$page: no screenshot"
    rm -rf "$profile"
done
rm -f "$out/unpacked/.check_page.html"

if [ "$failures" -ne 0 ]; then
    echo "guides_in_browser: $failures failures"
    exit 1
fi
echo "guides_in_browser: the zip, readme.txt and both guide pages are as expected; screenshots in $out"
