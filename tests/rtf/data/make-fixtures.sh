#!/bin/bash
# Makes the RTF fixtures once, from one small HTML document, with two programs that write RTF:
# pandoc and LibreOffice Writer (headless). The outputs are committed; the tests only read them,
# so neither program is needed to build or test. Run from anywhere:
#   apt-get install -y --no-install-recommends pandoc libreoffice-writer-nogui
#   bash tests/rtf/data/make-fixtures.sh
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cat > "$work/crawl.html" <<'HTML'
<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>crawl</title></head>
<body>
<p>Plain caf&eacute;, na&iuml;ve &AElig;r&oslash; &mdash; &ldquo;quoted&rdquo; and &lsquo;single&rsquo; &ndash; end</p>
<p><b>Bold</b> <i>italic</i> <u>under</u> normal</p>
<p><span style="color:#ff0000">Red</span> and <span style="color:#0000ff">blue</span></p>
<p><span style="font-size:20pt">Big</span> small</p>
<p></p>
<p dir="rtl" style="direction:rtl">&#1513;&#1500;&#1493;&#1501; &#1506;&#1493;&#1500;&#1501;</p>
<p dir="rtl" style="direction:rtl">&#1605;&#1585;&#1581;&#1576;&#1575; &#1576;&#1575;&#1604;&#1593;&#1575;&#1604;&#1605;</p>
<p>&#1055;&#1088;&#1080;&#1074;&#1077;&#1090; &#945;&#946;&#947; &#380;&oacute;&#322;w</p>
</body></html>
HTML

pandoc -s -f html -t rtf -o "$here/pandoc.rtf" "$work/crawl.html"

# Writer itself, not Writer/Web, reads the HTML, so that the colours and sizes come through.
HOME="$work" soffice --headless --infilter="HTML (StarWriter)" --convert-to rtf \
  --outdir "$work" "$work/crawl.html" >/dev/null
cp "$work/crawl.rtf" "$here/writer.rtf"
