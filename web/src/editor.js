// SPDX-License-Identifier: MIT
// The panel for the selected block (an editor per property: a slider and a
// field for floats, a field for integers, a choice list for enums; its
// connections with a disconnect button each and a form to connect an
// output; the activity switch and the destroy button) or the selected
// connection (a disconnect button).

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

function connectionsHtml(block) {
  const rows = [];
  for (const out of block.outputs) {
    for (const to of out.connections) {
      const from = `${block.name}.${out.name}`;
      rows.push(`<li>${escape(from)} → ${escape(to)} <button type="button" data-from="${escape(from)}" data-to="${escape(to)}" aria-label="${escape(`Disconnect ${from} from ${to}`)}">Disconnect</button></li>`);
    }
  }
  for (const inp of block.inputs) {
    for (const from of inp.connections) {
      const to = `${block.name}.${inp.name}`;
      rows.push(`<li>${escape(from)} → ${escape(to)} <button type="button" data-from="${escape(from)}" data-to="${escape(to)}" aria-label="${escape(`Disconnect ${from} from ${to}`)}">Disconnect</button></li>`);
    }
  }
  const list = rows.length ? `<ul class="connections">${rows.join('')}</ul>` : '<p class="hint">No connections.</p>';
  const connect = block.outputs.length
    ? `<form id="connect-form" class="inline">
<label for="connect-from">Output</label><select id="connect-from">${block.outputs.map((p) => `<option value="${escape(`${block.name}.${p.name}`)}">${escape(p.name)}</option>`).join('')}</select>
<label for="connect-to">to input</label><input id="connect-to" list="input-ports" required pattern="[^.\\s]+\\.[^.\\s]+" title="block.port" placeholder="block.port">
<button type="submit">Connect</button></form>`
    : '';
  return `<h3>Connections</h3>${list}${connect}`;
}

// Shows `block` with its editors. `whyNotDestroy` is null when the block can
// be destroyed and switched, else the reason shown beside the disabled
// controls. actions: write(name, value) as a value changes (a slider while
// it moves, a field when it is left or Enter is pressed), disconnect(from,
// to), connect(from, to), activate(boolean), destroy().
export function showBlock(panel, block, whyNotDestroy, actions) {
  const disabled = whyNotDestroy ? ' disabled' : '';
  const reason = whyNotDestroy ? `<p class="reason" id="block-reason">${escape(whyNotDestroy)}</p>` : '';
  const described = whyNotDestroy ? ' aria-describedby="block-reason"' : '';
  panel.innerHTML = `<h2 tabindex="-1">${escape(block.name)} <small>${escape(block.factory)}</small></h2>
<form class="props" aria-label="Properties">${block.properties.map(propertyEditor).join('')}</form>
${connectionsHtml(block)}
<h3>Block</h3>
<div class="block-actions">
<label class="switch"><input type="checkbox" role="switch" id="block-active"${disabled}${described}${block.active === false ? '' : ' checked'}> Active</label>
<button type="button" id="block-destroy" class="danger"${disabled}${described} title="${escape(whyNotDestroy ?? `Destroy ${block.name}`)}">Destroy</button>
</div>${reason}`;
  const form = panel.querySelector('form.props');
  form.addEventListener('submit', (ev) => ev.preventDefault());
  const send = (el) => {
    const name = el.dataset.prop;
    const value = el.tagName === 'SELECT' ? el.value : Number(el.value);
    if (el.tagName !== 'SELECT' && (el.value === '' || !Number.isFinite(value))) return;
    // The slider and the field of one float show the same value.
    for (const twin of form.querySelectorAll('input')) {
      if (twin !== el && twin.dataset.prop === name) twin.value = el.value;
    }
    actions.write(name, value);
  };
  form.addEventListener('input', (ev) => {
    if (ev.target.type === 'range') send(ev.target);
  });
  form.addEventListener('change', (ev) => {
    if (ev.target.dataset.prop) send(ev.target);
  });
  for (const button of panel.querySelectorAll('button[data-from]')) {
    button.addEventListener('click', () => actions.disconnect(button.dataset.from, button.dataset.to));
  }
  panel.querySelector('#connect-form')?.addEventListener('submit', (ev) => {
    ev.preventDefault();
    actions.connect(panel.querySelector('#connect-from').value, panel.querySelector('#connect-to').value.trim());
  });
  panel.querySelector('#block-active').addEventListener('change', (ev) => actions.activate(ev.target.checked));
  panel.querySelector('#block-destroy').addEventListener('click', () => {
    if (window.confirm(`Destroy ${block.name}?`)) actions.destroy();
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
  panel.innerHTML = `<h2 tabindex="-1">Connection</h2><p>${escape(from)} → ${escape(to)}</p>
<button type="button" id="disconnect">Disconnect</button>`;
  panel.querySelector('#disconnect').addEventListener('click', () => onDisconnect(from, to));
}

export function showNothing(panel) {
  panel.innerHTML = '<p class="hint">Choose a block (click it, or Tab to it and press Enter) to edit it; click an edge to disconnect it.</p>';
}
