// What a conformant HTML parser (the npm package parse5, scripts/install-npm.sh) and Node's
// WHATWG URL make of pages: the tags a run looks at, their "src", and where each leads.
//
//   node page_references.js NPM_DIR PAGE_URL FILE...
//
// Prints one JSON line per file: {"file", "tags": [[name, src or null], ...], "urls": [...]},
// each url the address a browser fetches for that tag (fragment dropped, http upgraded on an
// https page) or null when it fetches nothing. The files are read as UTF-8.
'use strict';
const fs = require('fs');
const path = require('path');
const { pathToFileURL } = require('url');

const kTags = new Set(['img', 'embed', 'bgsound', 'frame']);
const kHtml = 'http://www.w3.org/1999/xhtml';

function attr(node, name) {
  const a = (node.attrs || []).find((x) => x.name === name);
  return a ? a.value : null;
}

// Elements in document order; a template's content (node.content) is not among its children.
function* elements(node) {
  for (const child of node.childNodes || []) {
    if (child.tagName) yield child;
    yield* elements(child);
  }
}

function resolve(src, base, page) {
  if (src === null || src.length > 2 * 1024 * 1024) return null;
  const cleaned = src.replace(/^[\u0000-\u0020]+|[\u0000-\u0020]+$/g, '');
  if (cleaned === '') return null;
  let url;
  try {
    url = new URL(src, base);
  } catch (e) {
    return null;
  }
  if (url.protocol !== 'http:' && url.protocol !== 'https:') return null;
  url.hash = '';
  // Mixed content: the page's own scheme decides.
  if (page.protocol === 'https:' && url.protocol === 'http:') url.protocol = 'https:';
  return url.href;
}

(async () => {
  const [npmDir, pageUrl, ...files] = process.argv.slice(2);
  const { parse } = await import(
    pathToFileURL(path.resolve(npmDir, 'node_modules', 'parse5', 'dist', 'index.js')).href);
  const page = new URL(pageUrl);
  for (const file of files) {
    const doc = parse(fs.readFileSync(file, 'utf8'));
    const all = [...elements(doc)].filter((e) => e.namespaceURI === kHtml);
    let base = page;
    const baseElement = all.find((e) => e.tagName === 'base' && attr(e, 'href') !== null);
    if (baseElement) {
      try {
        base = new URL(attr(baseElement, 'href'), page);
      } catch (e) {
        base = page;
      }
    }
    const tags = all.filter((e) => kTags.has(e.tagName)).map((e) => [e.tagName, attr(e, 'src')]);
    const urls = tags.map(([, src]) => resolve(src, base, page));
    console.log(JSON.stringify({ file, tags, urls }));
  }
})().catch((e) => {
  console.error(e.stack || String(e));
  process.exit(2);
});
