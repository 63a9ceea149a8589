"""Writes the benchmark page of scripts/bench-browser.sh and its 42 requisites.

The page is at http(s)://www.lab.test/ (with /favicon.ico beside it) and names 4 stylesheets and 2 scripts on its own host,
4 scripts and 2 fonts (from @font-face in a stylesheet, used by the page's text) on
cdn.lab.test, and 30 images on img.lab.test (26 <img> elements, 4 CSS backgrounds). Sizes are
those of an ordinary page: stylesheets 8-40 KB, scripts 20-100 KB, fonts 25-45 KB, images
5-100 KB. Contents come from a generator with a fixed seed, so every run serves the same bytes.
An inline script of the page writes into the document, after the load event, where Chromium's
--dump-dom shows them: its Navigation Timing load time (loadEventEnd), and the span of its
fetches alone, from the page's name lookup to the end of the last response (Resource Timing).

Usage: make_site.py ROOT SCHEME
"""
import os
import random
import sys

root, scheme = sys.argv[1], sys.argv[2]
rng = random.Random(23)
hosts = {"www": "www.lab.test", "cdn": "cdn.lab.test", "img": "img.lab.test"}


def url(host, path):
    return f"{scheme}://{hosts[host]}/{path}"


def write(host, path, data):
    full = os.path.join(root, host, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as out:
        out.write(data if isinstance(data, bytes) else data.encode())


def filler_text(size):
    words = ["load", "page", "link", "round", "trip", "rate", "bench", "quorvel", "window"]
    out, n = [], 0
    while n < size:
        w = rng.choice(words)
        out.append(w)
        n += len(w) + 1
    return " ".join(out)


def kb(low, high):
    return rng.randint(low, high) * 1024


# Images: bytes that start like a PNG; browsers fetch them whole whether they decode or not.
images = []
for k in range(30):
    name = f"img/photo{k:02}.png"
    write("img", name, b"\x89PNG\r\n\x1a\n" + rng.randbytes(kb(5, 100)))
    images.append(name)

fonts = []
for k in range(2):
    name = f"fonts/text{k}.woff2"
    write("cdn", name, b"wOF2" + rng.randbytes(kb(25, 45)))
    fonts.append(name)

styles = []
for k in range(4):
    rules = []
    if k == 0:
        for f, font in enumerate(fonts):
            rules.append(f"@font-face {{ font-family: 'Lab{f}'; "
                         f"src: url('{url('cdn', font)}') format('woff2'); }}")
        rules.append("body { font-family: 'Lab0', sans-serif; }")
        rules.append("h1, h2 { font-family: 'Lab1', serif; }")
    if k == 1:
        for b in range(4):
            rules.append(f".banner{b} {{ width: 300px; height: 60px; "
                         f"background-image: url('{url('img', images[26 + b])}'); }}")
    size = kb(8, 40)
    n = 0
    while n < size:
        rule = f".c{k}x{n} {{ margin: {n % 7}px; padding: {n % 5}px; color: #{n % 4096:03x}; }}\n"
        rules.append(rule)
        n += len(rule)
    name = f"css/style{k}.css"
    write("www", name, "\n".join(rules))
    styles.append(name)

scripts = []
for k in range(6):
    size = kb(20, 100)
    body = [f"var lab{k} = (function () {{ var words = [];"]
    n = 0
    while n < size:
        line = f"  words.push({filler_text(60)!r});\n"
        body.append(line)
        n += len(line)
    body.append("  return words.length; })();\n")
    host = "www" if k < 2 else "cdn"
    name = f"js/script{k}.js"
    write(host, name, "".join(body))
    scripts.append((host, name))

head = [f'<link rel="stylesheet" href="{url("www", s)}">' for s in styles]
head += [f'<script src="{url(h, s)}"></script>' for h, s in scripts[:2]]
body = ["<h1>Lab page</h1>"]
body += [f'<div class="banner{b}"></div>' for b in range(4)]
for k, name in enumerate(images[:26]):
    body.append(f"<h2>Part {k}</h2><p>{filler_text(400)}</p>")
    body.append(f'<img src="{url("img", name)}" width="320" height="200" alt="photo {k}">')
body += [f'<script src="{url(h, s)}" defer></script>' for h, s in scripts[2:]]
body.append("""<script>
addEventListener('load', function () {
  setTimeout(function () {
    var t = performance.getEntriesByType('navigation')[0];
    var last = t.responseEnd;
    performance.getEntriesByType('resource').forEach(function (r) {
      last = Math.max(last, r.responseEnd);
    });
    document.body.setAttribute('data-load-ms', t.loadEventEnd.toFixed(1));
    document.body.setAttribute('data-fetch-ms', (last - t.domainLookupStart).toFixed(1));
  }, 0);
});
</script>""")
page = ("<!doctype html>\n<html><head><meta charset=\"utf-8\"><title>Lab page</title>\n"
        + "\n".join(head) + "\n</head><body>\n" + "\n".join(body) + "\n</body></html>\n")
write("www", "index.html", page)
# The icon a browser looks for when a page declares none.
write("www", "favicon.ico", rng.randbytes(1150))
