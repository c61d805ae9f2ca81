#!/bin/sh
# Makes the story of the rich-text layout benchmark: story.html (generated
# here) loaded into LibreOffice Writer and saved both as RTF (story.rtf, what
# the benchmark reads) and as HTML (story_lo.html, Qt's floor). Both files
# are committed; this script is only run again to renew them.
# Written with: LibreOffice 7.4.7.2 (Debian 12, package libreoffice-writer-nogui).
set -e
cd "$(dirname "$0")"
python3 - <<'PY'
import random
random.seed(7)
words = ("the of and a to in is you that it he was for on are as with his they at be this have from or one "
         "had by word but not what all were we when your can said there use an each which she do how their if "
         "will up other about out many then them these so some her would make like him into time has look two "
         "more write go see number no way could people my than first water been call who oil its now find long "
         "down day did get come made may part").split()
colors = ["#c00000", "#0050a0", "#008000", "#804000"]
out = ['<html><head><meta charset="utf-8"><title>Story</title></head><body>']
for chapter in range(100):
    out.append(f"<h2>Chapter {chapter + 1}</h2>")
    for para in range(22):
        parts = []
        for s in range(random.randint(3, 7)):
            ws = [random.choice(words) for _ in range(random.randint(6, 16))]
            k = random.random()
            if k < 0.08: ws[1] = f"<b>{ws[1]}</b>"
            elif k < 0.14: ws[2] = f"<i>{ws[2]}</i>"
            elif k < 0.18: ws[0] = f'<span style="color:{random.choice(colors)}">{ws[0]}</span>'
            parts.append(" ".join(ws).capitalize() + ".")
        out.append("<p>" + " ".join(parts) + "</p>")
    out.append("<ul>" + "".join(f"<li>{random.choice(words)} {random.choice(words)}</li>" for _ in range(4)) + "</ul>")
out.append("</body></html>")
open("story.html", "w").write("\n".join(out))
PY
tmp=$(mktemp -d)
soffice --headless --infilter="HTML (StarWriter)" --convert-to "rtf:Rich Text Format" --outdir "$tmp" story.html >/dev/null
soffice --headless --infilter="HTML (StarWriter)" --convert-to "html:HTML (StarWriter)" --outdir "$tmp/html" story.html >/dev/null
cp "$tmp/story.rtf" story.rtf
cp "$tmp/html/story.html" story_lo.html
rm -rf "$tmp"
