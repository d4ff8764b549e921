#!/usr/bin/python
# SPDX-License-Identifier: MIT
"""Ansible module that sets named properties of one function block."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: property
short_description: Set properties of one function block
description:
  - Sets the named properties of one block on the board, each converted to the
    type the device declares for it, as C(tarnfb.Device.set) does; numbers for
    numeric properties, a choice's name or index for an enum, lists for vectors.
  - Only values that differ from the device's are written, all in one write;
    the task reports a change only then.
options:
  block:
    description: The block's name.
    type: str
    required: true
  values:
    description: The property names and their values.
    type: dict
    required: true
extends_documentation_fragment:
  - patchbay.fb.board
"""

EXAMPLES = r"""
- name: Turn the volume down and pick a waveform
  patchbay.fb.property:
    block: volume
    values:
      level: 0.25
- patchbay.fb.property:
    block: osc1
    values:
      waveform: sine
"""

RETURN = r"""
plan:
  description: One C(set BLOCK.PROPERTY OLD -> NEW) line per value that differs.
  returned: success
  type: list
  elements: str
  sample: ["set volume.level 0.5 -> 0.25"]
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.patchbay.fb.plugins.module_utils.board import Board, changes, finish


# Declared types whose values are numbers: a value templated into text
# ("{{ level }}", -e level=0.5) is read back as a number for them.
NUMERIC_TYPES = {"float", "double", "int8", "int16", "int32", "int64", "uint8", "uint32", "uint64"}


def numbers_from_text(values, declared):
    """`values` with numbers given as text turned into numbers where the property holds numbers."""
    out = {}
    for name, value in values.items():
        prop = declared.get(name)
        if isinstance(value, str) and prop is not None and prop.type in NUMERIC_TYPES:
            try:
                value = int(value)
            except ValueError:
                try:
                    value = float(value)
                except ValueError:
                    pass  # the device's declaration then tells why it cannot be
        out[name] = value
    return out


def main():
    module = AnsibleModule(
        argument_spec=dict(block=dict(type="str", required=True), values=dict(type="dict", required=True)),
        supports_check_mode=True,
    )
    block = module.params["block"]
    board = Board(module)
    values = numbers_from_text(module.params["values"], board.call(board.device.properties, block))
    # The values as a document of this one block: the restore plan compares
    # them with the device's the way fbrestore does, typed by the declarations.
    document = {"factories": [{"name": board.factory_of(block), "blocks": [
        {"name": block, "properties": [{"name": name, "value": value} for name, value in values.items()]}]}]}
    plan = changes(board.call(board.device.restore, document, dry_run=True))
    if plan and not module.check_mode:
        changed = {line.split(" ", 2)[1].split(".", 1)[1] for line in plan}
        board.call(board.device.set, block, {name: v for name, v in values.items() if name in changed})
    finish(module, plan, plan=plan)


if __name__ == "__main__":
    main()
