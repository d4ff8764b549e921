# SPDX-License-Identifier: MIT
"""The function-block device from Python.

tarnfb reads and changes the network of function blocks hosted by the
/dev/functionblocks driver, through the client library libtarn-fb:

    import tarnfb
    dev = tarnfb.Device()
    dev.factories()                      # ['gain', 'mixer', ...]
    ticket = dev.create("gain", "boost")
    dev.set("boost", level=0.8, mute=0)
    dev.connect("boost.out", "speaker.left")
    dev.destroy("boost")                 # by the ticket the device's registry holds
    doc = dev.snapshot()                 # the network as fbdump's document
    dev.restore(doc, dry_run=True)       # the plan that would restore it

Device errors raise DeviceError (with the device's .code), unreadable
replies StreamError, a destroy by name without a usable ticket TicketError,
all subclasses of Error (a RuntimeError). Wrong
arguments raise TypeError, ValueError or KeyError before anything is sent.
"""

from ._tarnfb import *  # noqa: F401,F403
from ._tarnfb import __all__, __version__  # noqa: F401
