// SPDX-License-Identifier: MIT
// Calls to fbweb's JSON API with the session's token.

const tokenKey = 'fbweb-token';

// Takes a ?token= from the page's address into the browser session and
// removes it from the address bar and history.
export function adoptTokenFromAddress() {
  const url = new URL(window.location.href);
  const token = url.searchParams.get('token');
  if (token) {
    sessionStorage.setItem(tokenKey, token);
    url.searchParams.delete('token');
    history.replaceState(null, '', url.pathname + url.search + url.hash);
  }
}

export function setToken(token) {
  sessionStorage.setItem(tokenKey, token);
}

// An answer other than 2xx/304: the server's message and the HTTP status.
export class ApiError extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}

// The headers every request carries: the token, when there is one.
export function authHeaders(extra = {}) {
  const headers = { ...extra };
  const token = sessionStorage.getItem(tokenKey);
  if (token) headers.Authorization = `Bearer ${token}`;
  return headers;
}

export async function call(method, path, body, extraHeaders = {}) {
  const headers = authHeaders(extraHeaders);
  if (body !== undefined) headers['Content-Type'] = 'application/json';
  const res = await fetch(path, {
    method,
    headers,
    body: body === undefined ? undefined : typeof body === 'string' ? body : JSON.stringify(body),
    cache: 'no-store',
  });
  if (res.status === 304) return { status: 304, etag: res.headers.get('ETag') };
  const text = await res.text();
  let data = null;
  try {
    data = text ? JSON.parse(text) : null;
  } catch {
    data = null;
  }
  if (!res.ok) throw new ApiError(res.status, (data && data.error) || `HTTP ${res.status}`);
  return { status: res.status, etag: res.headers.get('ETag'), data };
}
