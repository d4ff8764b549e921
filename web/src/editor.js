// SPDX-License-Identifier: MIT
// The panel for the selected block (an editor per property: a slider and a
// field for floats, a field for integers, a choice list for enums) or the
// selected connection (a disconnect button).

const escape = (s) => String(s).replace(/[&<>"']/g, (c) => `&#${c.charCodeAt(0)};`);

const integerLimits = { uint8: [0, 255], uint32: [0, 4294967295] };

function floatEditor(p, id) {
  const v = typeof p.value === 'number' ? p.value : 0;
  const span = Math.max(1, Math.abs(v) * 2);
  const min = v < 0 ? -span : 0;
  return `<input type="range" id="${id}-range" min="${min}" max="${span}" step="any" value="${v}" data-prop="${escape(p.name)}">
<input type="number" id="${id}" step="any" value="${escape(p.value)}" data-prop="${escape(p.name)}">`;
}

function propertyEditor(p, i) {
  const id = `prop-${i}`;
  const label = `<label for="${id}">${escape(p.name)} <small>(${escape(p.type)})</small></label>`;
  if (p.type === 'float') return `<div class="prop">${label}${floatEditor(p, id)}</div>`;
  if (integerLimits[p.type]) {
    const [min, max] = integerLimits[p.type];
    return `<div class="prop">${label}<input type="number" id="${id}" min="${min}" max="${max}" step="1" value="${escape(p.value)}" data-prop="${escape(p.name)}"></div>`;
  }
  if (p.type === 'enum') {
    const options = p.value.choices
      .map((c, k) => `<option value="${escape(c)}"${k === p.value.index ? ' selected' : ''}>${escape(c)}</option>`)
      .join('');
    return `<div class="prop">${label}<select id="${id}" data-prop="${escape(p.name)}">${options}</select></div>`;
  }
  return `<div class="prop">${label}<output id="${id}">${escape(JSON.stringify(p.value))}</output></div>`;
}

// Shows `block`; onWrite(name, value) is called as a value changes (a
// slider while it moves, a field when it is left or Enter is pressed).
export function showBlock(panel, block, onWrite) {
  panel.innerHTML = `<h2>${escape(block.name)} <small>${escape(block.factory)}</small></h2>
<form class="props">${block.properties.map(propertyEditor).join('')}</form>`;
  const form = panel.querySelector('form');
  form.addEventListener('submit', (ev) => ev.preventDefault());
  const send = (el) => {
    const name = el.dataset.prop;
    const value = el.tagName === 'SELECT' ? el.value : Number(el.value);
    if (el.tagName !== 'SELECT' && (el.value === '' || !Number.isFinite(value))) return;
    // The slider and the field of one float show the same value.
    for (const twin of form.querySelectorAll('input')) {
      if (twin !== el && twin.dataset.prop === name) twin.value = el.value;
    }
    onWrite(name, value);
  };
  form.addEventListener('input', (ev) => {
    if (ev.target.type === 'range') send(ev.target);
  });
  form.addEventListener('change', (ev) => {
    if (ev.target.dataset.prop) send(ev.target);
  });
}

// Refreshes the values of the block shown, except the editor in use.
export function refreshBlock(panel, block) {
  for (const el of panel.querySelectorAll('[data-prop]')) {
    if (el === document.activeElement) continue;
    const p = block.properties.find((q) => q.name === el.dataset.prop);
    if (!p) continue;
    el.value = p.type === 'enum' ? p.value.choices[p.value.index] : p.value;
  }
}

export function showConnection(panel, from, to, onDisconnect) {
  panel.innerHTML = `<h2>Connection</h2><p>${escape(from)} → ${escape(to)}</p>
<button type="button" id="disconnect">Disconnect</button>`;
  panel.querySelector('#disconnect').addEventListener('click', () => onDisconnect(from, to));
}

export function showNothing(panel) {
  panel.innerHTML = '<p class="hint">Click a block to edit its properties, an edge to disconnect it.</p>';
}
