#include "cli/web/WebPage.h"

namespace cli {

std::string_view WebPage() {
    return R"html(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Tillmark virtual printer</title>
<link rel="stylesheet" href="/page.css">
<link rel="stylesheet" href="/panel.css">
</head>
<body>
<div id="levers"></div>
<h1>Receipts</h1>
<p id="status">Waiting for the first receipt.</p>
<div id="receipts"></div>
<script src="/page.js"></script>
<script src="/panel.js"></script>
</body>
</html>
)html";
}

std::string_view WebScript() {
    return R"js('use strict';
// Everything that came from the printer goes in as text, never as markup.
let last = 0;
function cell(row, text) {
  const td = document.createElement('td');
  td.textContent = text;
  row.appendChild(td);
}
function show(receipt) {
  const box = document.createElement('section');
  box.className = 'receipt';
  box.dataset.number = receipt.number;
  const img = document.createElement('img');
  img.src = '/receipts/' + receipt.number + '.png';
  img.alt = 'receipt ' + receipt.number;
  const side = document.createElement('div');
  const title = document.createElement('h2');
  title.textContent = 'Receipt ' + receipt.number + (receipt.cut ? '' : ' (not cut)');
  const text = document.createElement('pre');
  text.className = 'text';
  text.textContent = receipt.text;
  const details = document.createElement('details');
  const summary = document.createElement('summary');
  summary.textContent = receipt.trace.length + ' commands';
  const table = document.createElement('table');
  table.className = 'trace';
  for (const e of receipt.trace) {
    const row = table.insertRow();
    cell(row, e.offset);
    cell(row, e.name);
    cell(row, e.bytes);
    cell(row, e.detail);
  }
  details.append(summary, table);
  side.append(title, text, details);
  box.append(img, side);
  const list = document.getElementById('receipts');
  list.insertBefore(box, list.firstChild);
}
async function poll() {
  try {
    const answer = await fetch('/receipts?after=' + last, {cache: 'no-store'});
    for (const receipt of await answer.json()) {
      show(receipt);
      last = Math.max(last, receipt.number);
    }
    document.getElementById('status').textContent =
        last ? 'Newest first; new receipts appear as they are cut.' : 'Waiting for the first receipt.';
  } catch (error) {
    document.getElementById('status').textContent = 'The emulator does not answer: ' + error;
  }
  setTimeout(poll, 500);
}
poll();
)js";
}

std::string_view WebStyle() {
    return R"css(body { font-family: sans-serif; margin: 1em; background: #eee; }
#receipts { display: flex; flex-direction: column; gap: 1em; }
.receipt { display: flex; gap: 1em; background: #fff; padding: 1em; align-items: flex-start; }
.receipt img { border: 1px solid #ccc; image-rendering: pixelated; }
.receipt pre { margin: 0; font-size: 13px; }
.trace { font-family: monospace; font-size: 12px; border-collapse: collapse; }
.trace td { padding: 0 0.5em; vertical-align: top; }
)css";
}

} // namespace cli
