#!/usr/bin/python
# SPDX-License-Identifier: MIT
"""Ansible module that brings a board's function-block network to a document."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: network
short_description: Bring a board's function-block network to a document
description:
  - Plans the changes that bring the board's network to a document (the one
    C(fbdump) writes and C(fbrestore) reads) and applies them all or none;
    when the device refuses one, what was applied is undone and the task fails
    with the device's error.
  - Blocks the document names are created, its property values set and its
    connections made; blocks it does not name are kept.
options:
  content:
    description:
      - The document itself, as a mapping or as JSON or YAML text. A file on the
        controller comes through the C(file) lookup (see the examples).
      - Exactly one of I(content) and I(path) is given.
    type: raw
  path:
    description:
      - A document file already on the board (JSON, or YAML when the board has PyYAML).
    type: path
  exact:
    description:
      - Also undo what the document lacks (connections it does not name), as C(fbrestore --exact).
    type: bool
    default: false
extends_documentation_fragment:
  - patchbay.fb.board
"""

EXAMPLES = r"""
- name: Bring every board to the rack's network, a file on the controller
  patchbay.fb.network:
    content: "{{ lookup('file', 'rack.json') }}"
    exact: true

- name: A document already on the board
  patchbay.fb.network:
    path: /etc/patchbay/network.json

- name: A small network written inline
  patchbay.fb.network:
    content:
      factories:
        - name: gain
          blocks:
            - name: volume
              properties:
                - {name: level, value: 0.5}
"""

RETURN = r"""
plan:
  description: The plan's lines as C(fbrestore) prints them (create, set, disconnect,
    connect, keep); in check mode what would be done.
  returned: success
  type: list
  elements: str
  sample: ["set volume.level 0.9 -> 0.5", "connect osc1.out mix.in1", "keep gain volume"]
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.patchbay.fb.plugins.module_utils.board import Board, changes, finish, read_document


def main():
    module = AnsibleModule(
        argument_spec=dict(content=dict(type="raw"), path=dict(type="path"), exact=dict(type="bool", default=False)),
        mutually_exclusive=[("content", "path")],
        required_one_of=[("content", "path")],
        supports_check_mode=True,
    )
    content, path = module.params["content"], module.params["path"]
    if path is not None:
        try:
            with open(path, encoding="utf-8") as f:
                content = f.read()
        except OSError as e:
            module.fail_json(msg="cannot read the document %s: %s" % (path, e))
    document = content if isinstance(content, dict) else read_document(module, str(content), path or "content")
    exact = module.params["exact"]

    board = Board(module)
    # One walk: restore plans, and applies only a plan with changes in it.
    plan = board.call(board.device.restore, document, dry_run=module.check_mode, exact=exact)
    finish(module, changes(plan), plan=plan)


if __name__ == "__main__":
    main()
