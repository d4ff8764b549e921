#!/usr/bin/python
# SPDX-License-Identifier: MIT
"""Ansible module that connects or disconnects two function-block ports."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: connection
short_description: Connect or disconnect two function-block ports
description:
  - Makes sure an output port of one block is connected to an input port of
    another (I(state=present)) or is not (I(state=absent)).
options:
  from:
    description: The output port, C(BLOCK.PORT).
    type: str
    required: true
  to:
    description: The input port, C(BLOCK.PORT).
    type: str
    required: true
  state:
    description: Whether the connection should exist.
    type: str
    choices: [present, absent]
    default: present
extends_documentation_fragment:
  - patchbay.fb.board
"""

EXAMPLES = r"""
- name: Feed the first oscillator into the mixer
  patchbay.fb.connection:
    from: osc1.out
    to: mix.in1

- name: And take the second one out
  patchbay.fb.connection:
    from: osc2.out
    to: mix.in2
    state: absent
"""

RETURN = r"""
plan:
  description: The change as a plan line (C(connect FROM TO) or C(disconnect FROM TO)); empty when none is needed.
  returned: success
  type: list
  elements: str
  sample: ["connect osc1.out mix.in1"]
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.patchbay.fb.plugins.module_utils.board import Board, finish


def main():
    module = AnsibleModule(
        argument_spec={
            "from": dict(type="str", required=True),
            "to": dict(type="str", required=True),
            "state": dict(type="str", choices=["present", "absent"], default="present"),
        },
        supports_check_mode=True,
    )
    source, destination, wanted = module.params["from"], module.params["to"], module.params["state"] == "present"
    block, dot, port = source.partition(".")
    if not dot:
        module.fail_json(msg="from must name a port as BLOCK.PORT, not %s" % source)
    board = Board(module)
    outputs = board.call(board.device.outputs, block)
    if port not in outputs:
        module.fail_json(msg="%s has no output port %s (it has %s)" % (block, port, ", ".join(sorted(outputs))))
    plan = []
    if (destination in outputs[port]) != wanted:
        verb = "connect" if wanted else "disconnect"
        plan = ["%s %s %s" % (verb, source, destination)]
        if not module.check_mode:
            board.call(getattr(board.device, verb), source, destination)
    finish(module, plan, plan=plan)


if __name__ == "__main__":
    main()
