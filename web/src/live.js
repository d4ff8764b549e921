// SPDX-License-Identifier: MIT
// Keeps the page's network current: the server's event stream when it has
// one, the network polled with its ETag where the stream is refused or
// breaks (an older fbweb, a proxy that buffers). The stream is read with
// fetch rather than EventSource, which cannot send the token's header.
import { authHeaders, call } from './api.js';
import { eventReader } from './sse.js';

const pollInterval = 2000;
// The server sends a comment at least every 15 s: silence beyond this
// means the stream is stuck.
const silenceLimit = 40000;
// How long polling runs before the stream is tried again.
const streamRetry = 30000;

// onDocument(doc) with each new whole document, onChange(change) with each
// pushed change, onMode('events' | 'polling'), onError(error).
export function keepLive({ onDocument, onChange, onMode, onError }) {
  let etag = null;
  let pollTimer = null;
  let streaming = false;
  let pollingSince = 0;

  const fetchDocument = async () => {
    const r = await call('GET', '/api/network', undefined, etag ? { 'If-None-Match': etag } : {});
    if (r.status !== 304) {
      etag = r.etag;
      onDocument(r.data);
    }
  };

  const poll = async () => {
    clearTimeout(pollTimer);
    try {
      await fetchDocument();
    } catch (e) {
      onError(e);
    }
    if (streaming) return;
    if (Date.now() - pollingSince > streamRetry) {
      openStream();
      return;
    }
    pollTimer = setTimeout(poll, pollInterval);
  };

  const startPolling = () => {
    streaming = false;
    pollingSince = Date.now();
    onMode('polling');
    pollTimer = setTimeout(poll, pollInterval);
  };

  const openStream = async () => {
    const abort = new AbortController();
    let silence = null;
    const quiet = () => {
      clearTimeout(silence);
      silence = setTimeout(() => abort.abort(), silenceLimit);
    };
    try {
      const res = await fetch('/api/events', {
        headers: authHeaders({ Accept: 'text/event-stream' }),
        cache: 'no-store',
        signal: abort.signal,
      });
      if (!res.ok || !(res.headers.get('Content-Type') ?? '').startsWith('text/event-stream')) {
        abort.abort();
        startPolling();
        return;
      }
      streaming = true;
      onMode('events');
      quiet();
      const feed = eventReader((ev) => {
        try {
          const data = JSON.parse(ev.data);
          if (ev.event === 'hello') {
            // Whatever changed between the document and the stream's start.
            if (data.etag !== etag) poll();
          } else if (ev.event === 'change') {
            etag = data.etag;
            onChange(data);
          }
        } catch (e) {
          onError(e);
        }
      });
      const reader = res.body.pipeThrough(new TextDecoderStream()).getReader();
      for (;;) {
        const { value, done } = await reader.read();
        if (done) break;
        quiet();
        feed(value);
      }
    } catch {
      // Refused, cut or silent: polling takes over below.
    }
    clearTimeout(silence);
    startPolling();
  };

  return {
    // Loads the whole document, then follows the changes.
    async start() {
      try {
        await fetchDocument();
      } catch (e) {
        onError(e);
      }
      openStream();
    },
    // Asks for the document now (after a change made by this page, so that
    // it shows at once even where only polling works).
    refresh: poll,
  };
}
