// SPDX-License-Identifier: MIT
// The network as a document: downloaded as it is on the device, or uploaded
// and applied after its plan was shown.
import { call } from './api.js';

const $ = (id) => document.getElementById(id);

// `fail(error)` reports a failed request; `change(what, done)` runs a
// change of the device and says `done`.
export function wireDocuments({ fail, change }) {
  async function download() {
    try {
      const r = await call('GET', '/api/network');
      const url = URL.createObjectURL(new Blob([JSON.stringify(r.data, null, 2) + '\n'], { type: 'application/json' }));
      const a = document.createElement('a');
      a.href = url;
      a.download = 'network.json';
      a.click();
      setTimeout(() => URL.revokeObjectURL(url), 1000);
    } catch (e) {
      fail(e);
    }
  }

  // Shows the plan of an uploaded document and applies it when asked.
  async function upload(file) {
    const text = await file.text();
    try {
      const r = await call('POST', '/api/restore?dry_run=1', text);
      const lines = r.data.plan.length ? r.data.plan : ['nothing to do'];
      $('plan-lines').innerHTML = '';
      for (const line of lines) {
        const li = document.createElement('li');
        li.textContent = line;
        $('plan-lines').appendChild(li);
      }
      $('plan-apply').onclick = () => {
        $('plan-dialog').close();
        change(() => call('POST', '/api/restore', text), `applied ${file.name}`);
      };
      $('plan-dialog').showModal();
    } catch (e) {
      fail(e);
    }
  }

  $('download').addEventListener('click', download);
  $('upload').addEventListener('change', (ev) => {
    if (ev.target.files[0]) upload(ev.target.files[0]);
    ev.target.value = '';
  });
  $('plan-cancel').addEventListener('click', () => $('plan-dialog').close());
}
