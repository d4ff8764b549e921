// SPDX-License-Identifier: MIT
// Which blocks this fbweb can destroy: those whose creation ticket the
// board's registry knows. A server without the registry answers 404, and
// then no block can be destroyed or switched from the page.
import { call } from './api.js';

export const noRegistry = 'this fbweb cannot destroy or switch blocks (it keeps no record of creation tickets)';
export const unknownTicket =
  'cannot be destroyed: its creation ticket is unknown (made by a program that keeps no record, such as a patchbay session)';

export function createTickets(onUpdate) {
  const state = { available: null, names: new Set() };
  let asking = null;
  // onUpdate only when the answer differs, so that the panel in use is not
  // drawn again for nothing.
  const refresh = async () => {
    const was = JSON.stringify([state.available, [...state.names].sort()]);
    try {
      const r = await call('GET', '/api/tickets');
      state.available = true;
      state.names = new Set((r.data?.blocks ?? []).map((b) => b.name));
    } catch (e) {
      // Without the token nothing is known yet; the login asks for it.
      if (e.status === 401) return;
      state.available = false;
      state.names = new Set();
    }
    if (JSON.stringify([state.available, [...state.names].sort()]) !== was) onUpdate();
  };
  return {
    // Asks again; calls made while one runs share it.
    refresh() {
      if (!asking) asking = refresh().finally(() => (asking = null));
      return asking;
    },
    // null when the block can be destroyed, else the reason why not.
    whyNot(name) {
      if (state.available === null) return 'checking whether the block can be destroyed…';
      if (!state.available) return noRegistry;
      return state.names.has(name) ? null : unknownTicket;
    },
    get available() {
      return state.available;
    },
  };
}
