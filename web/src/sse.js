// SPDX-License-Identifier: MIT
// Reads a text/event-stream body piece by piece into events
// {event, data, id}; comment lines (": keep-alive") are dropped.

export function eventReader(onEvent) {
  let buffer = '';
  let event = { event: 'message', data: [], id: null };
  const line = (text) => {
    if (text === '') {
      if (event.data.length) onEvent({ event: event.event, data: event.data.join('\n'), id: event.id });
      event = { event: 'message', data: [], id: null };
      return;
    }
    if (text.startsWith(':')) return;
    const colon = text.indexOf(':');
    const field = colon < 0 ? text : text.slice(0, colon);
    let value = colon < 0 ? '' : text.slice(colon + 1);
    if (value.startsWith(' ')) value = value.slice(1);
    if (field === 'event') event.event = value;
    else if (field === 'data') event.data.push(value);
    else if (field === 'id') event.id = value;
  };
  // Feeds the next piece of the body; lines end in \n, \r\n or \r.
  return (piece) => {
    buffer += piece;
    for (;;) {
      const m = /\r\n|\r|\n/.exec(buffer);
      // A lone \r at the end may be the first half of \r\n.
      if (!m || (m[0] === '\r' && m.index === buffer.length - 1)) break;
      line(buffer.slice(0, m.index));
      buffer = buffer.slice(m.index + m[0].length);
    }
  };
}
