# SPDX-License-Identifier: MIT
"""The documentation every patchbay.fb module shares: where it runs and what it needs."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment:
    DOCUMENTATION = r"""
options: {}
requirements:
  - The board's C(/dev/functionblocks), readable and writable by the remote user
    (member of the C(functionblocks) group)
  - The Python module C(tarnfb) for the board's Python (Debian package C(python3-tarnfb))
notes:
  - The module runs on the board and talks to its device through C(tarnfb); a board
    without it fails with the package to install.
  - Check mode and diff mode are supported; the diff is the list of plan lines,
    the same lines C(fbrestore --check) prints.
"""
