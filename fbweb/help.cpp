// SPDX-License-Identifier: MIT
// The --help text of fbweb.
#include "options.hpp"

namespace fbweb {

const char* const help_text = R"(usage: fbweb [--listen ADDR:PORT] [--token-file FILE] [--read-only]
             [--metrics-token FILE] [--match FILE]
             [--no-log] [--threads N] [--header-timeout SECONDS]
             [--per-client N] [--assets DIR]
       fbweb --help | --version

Serves the function-block network of /dev/functionblocks over HTTP: a page
that draws the network and edits it (GET /), and a JSON API for scripts.

options:
  --listen ADDR:PORT  address and port to listen on (default 127.0.0.1:8080;
                      IPv6 in brackets, as [::1]:8080; port 0 picks a free one)
  --token-file FILE   every request to /api needs "Authorization: Bearer
                      TOKEN", TOKEN being the first line of FILE; FILE must not
                      be readable or writable by group or others
  --read-only         refuse every request that would change the network;
                      needed to listen on a non-loopback address without a token
  --metrics-token FILE
                      a second token, the first line of FILE (same rules as
                      --token-file), that may only scrape GET /metrics
  --match FILE        GET /metrics also tells whether the network matches the
                      network document FILE (read at start), compared as
                      fbrestore compares when it checks
  --no-log            no line per request on standard output
  --threads N         requests handled at once (default 16); the device
                      takes one exchange at a time whatever N is
  --header-timeout SECONDS
                      a client must send a request's headers within this
                      time of connecting or of its previous response, and
                      the body within as long again (default 10)
  --per-client N      connections open at once from one client address
                      (default 16); more are closed as they arrive
  --assets DIR        serve the page from DIR instead of the copy built in
  -h, --help          this text
  -V, --version       the version

API (JSON in and out; errors as {"error": "..."}):
  GET    /api/network                   the network, as fbdump prints it; ETag,
                                        304 when If-None-Match still matches
  GET    /api/events                    server-sent events: "hello" with the
                                        ETag, then "change" with what changed
  GET    /api/blocks/NAME               one block
  POST   /api/blocks                    {"factory", "name"}: create; {"ticket": N}
  DELETE /api/blocks/NAME               destroy by the ticket registry; {"destroyed"};
                                        409 when no usable ticket is known
  POST   /api/blocks/NAME/activate      {"active": true|false}: switch on or off
  GET    /api/values?name=B.P&name=...  {"values": {"B.P": number or null}}
  GET    /api/tickets                   blocks DELETE can destroy: {"blocks"}
  PATCH  /api/blocks/NAME/properties    {"prop": value, ...}: typed write
  POST   /api/connections               {"from", "to"}: connect
  DELETE /api/connections               {"from", "to"}: disconnect
  POST   /api/restore[?dry_run]         a network document: {"plan", "applied"};
                                        dry_run bare, 1 or true: plan only
  GET    /metrics                       Prometheus metrics (text format), with
                                        the scrape token or the API's token;
                                        allowed with --read-only
Requests that change the network need "Content-Type: application/json".
Bodies: at most 1 MiB, nested at most 32 levels, no key twice in an object.
Statuses: 400 malformed, 401 no valid token, 403 read-only, 404 unknown block,
409 refused by the device or no ticket known, 413 body over 1 MiB, 415 not
JSON, 422 a value the type cannot hold, 431 headers over 16 KiB, 503 device
missing or too many large bodies at once.

At start fbweb prints the address to open on standard output; with a token,
the token itself only when standard output is a terminal, else the file.

exit status:
  0  stopped by SIGINT or SIGTERM, or --help or --version
  1  could not start: bad command line, token file, --match document,
     address, or a device it may not use
)";

}  // namespace fbweb
