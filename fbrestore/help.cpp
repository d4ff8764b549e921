// SPDX-License-Identifier: MIT
// The --help text.
#include "options.hpp"

namespace fbrestore {

const char* const help_text = R"(usage: fbrestore [-x] [-n | --check] [-q] [FILE | -]
       fbrestore --help | --version

Reads a network document as fbdump prints it (standard input when FILE is
missing or "-") and changes the function-block network of
/dev/functionblocks until it matches: creates the blocks that are missing,
writes the properties that differ (one write per block) and connects the
connections that are missing. The plan is printed, one line per change in
the order it is applied:

  create FACTORY BLOCK
  set BLOCK.PROPERTY OLD -> NEW     (OLD is "-" for a block being created)
  disconnect OUTPUT INPUT
  connect OUTPUT INPUT
  destroy FACTORY BLOCK             (-x: not in the document, ticket known)
  keep FACTORY BLOCK                (on the device, not in the document)

A plan without changes and kept blocks is the line "nothing to do".

A name, choice or text with a blank, a quote or a control character is in
double quotes ("saw tooth", "a\"b", "x\ny"), so awk's fields stay whole.

Everything is checked before the first change; if a change fails, the
changes made so far are undone and the device is as it was (a block
already destroyed cannot be made again: it is named as left changed).

The device destroys a block only by the ticket its creation returned.
fbrestore, fbweb and tarnfb record the tickets of the blocks they create
in the device's ticket registry (/run/patchbay/tickets; beside the state
file under fbemu); with -x a block the document lacks is destroyed when
its ticket is known there, and kept otherwise (blocks made by patchbay's
test session, or before the device started).

  fbdump > network.json; fbrestore network.json

options:
  -x, --exact     also disconnect connections the document does not have
                  (on the sides of blocks whose "inputs"/"outputs" it lists)
                  and destroy the blocks it lacks whose ticket is known
  -n, --dry-run   print the plan and change nothing
  --check         print the plan and change nothing; exit 2 when the plan
                  is not "nothing to do" (a change or a kept block)
  -q, --quiet     no plan lines
  -h, --help      this text
  -V, --version   the version

The document may list only the properties to set; a block without "inputs"
or "outputs" keeps its connections on that side; "type" may be left out;
an enum value may be a choice name, an index or {"choices", "index"}; a
connection may be written on either side or both (the same on both when
both blocks list that side). A key given twice, an enum value as a float
and nesting deeper than 32 levels are refused. Blocks of factories the
document does not name are left alone.

exit status:
  0  the device matches the document (also when nothing was to do)
  1  failure: bad command line, unreadable or invalid document, a change
     the device cannot take, a device error, an unreadable ticket
     registry; "fbrestore: " and the reason on standard error, and the
     device is as it was
  2  --check only: the device does not match the document (the plan is
     not "nothing to do")
)";

}  // namespace fbrestore
