// The control panel of emulate --web, a script and a style sheet of their own beside the page, so
// that the page runs under a content policy that allows no inline code.
#include "cli/web/WebLevers.h"

namespace cli {

std::string_view PanelScript() {
    return R"js('use strict';
// The printer's levers: a change is sent at once, and the panel follows moves made elsewhere.
(function () {
  const levers = [
    ['cover', 'Cover', [['closed', 'closed'], ['open', 'open']]],
    ['paper', 'Paper', [['ok', 'ok'], ['near-end', 'near end'], ['end', 'end']]],
    ['drawer', 'Drawer', [['closed', 'closed (pin 3 high)'], ['open', 'open (pin 3 low)']]],
    ['feed', 'Feed button', [['released', 'released'], ['held', 'held']]],
  ];
  const panel = document.getElementById('levers');
  if (!panel)
    return;
  const note = document.createElement('span');
  note.id = 'lever-note';
  const selects = {};
  function show(state) {
    for (const [key] of levers)
      if (typeof state[key] === 'string')
        selects[key].value = state[key];
  }
  async function move(change) {
    try {
      const answer = await fetch('/printer', {
        method: 'POST',
        headers: {'Content-Type': 'application/json'},
        body: JSON.stringify(change),
        cache: 'no-store',
      });
      const state = await answer.json();
      if (answer.ok) {
        show(state);
        note.textContent = '';
      } else {
        note.textContent = 'Refused: ' + state.error;
      }
    } catch (error) {
      note.textContent = 'The emulator does not answer: ' + error;
    }
  }
  const title = document.createElement('h2');
  title.textContent = 'Printer';
  panel.appendChild(title);
  for (const [key, label, choices] of levers) {
    const name = document.createElement('label');
    name.textContent = label + ' ';
    const select = document.createElement('select');
    select.id = 'lever-' + key;
    for (const [value, words] of choices) {
      const option = document.createElement('option');
      option.value = value;
      option.textContent = words;
      select.appendChild(option);
    }
    select.addEventListener('change', () => move({[key]: select.value}));
    selects[key] = select;
    name.appendChild(select);
    panel.appendChild(name);
  }
  panel.appendChild(note);
  async function follow() {
    try {
      const answer = await fetch('/printer', {cache: 'no-store'});
      if (answer.ok)
        show(await answer.json());
    } catch (error) {
      // The receipts' status line says when the emulator is gone.
    }
    setTimeout(follow, 1000);
  }
  follow();
})();
)js";
}

std::string_view PanelStyle() {
    return R"css(#levers { display: flex; flex-wrap: wrap; gap: 0.5em 1.5em; align-items: baseline;
  background: #fff; padding: 0.5em 1em; margin-bottom: 1em; }
#levers h2 { margin: 0; font-size: 1.1em; }
#lever-note { color: #a00; }
/* The receipts' text: a monospace face that has Hangul, for Korean receipts. */
.receipt pre.text { font-family: "DejaVu Sans Mono", "Noto Sans Mono CJK KR", "NanumGothicCoding",
  "D2Coding", monospace; }
)css";
}

} // namespace cli
