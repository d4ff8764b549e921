#!/usr/bin/python
# SPDX-License-Identifier: MIT
"""Ansible module that reads a board's function-block network into facts."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: network_facts
short_description: Read a board's function-block network as facts
description:
  - Reads the board's whole network into C(ansible_facts.fb_network), as the
    document C(fbdump) writes (factories, their blocks, properties and connections).
  - The document can be given back to M(patchbay.fb.network) unchanged.
options: {}
extends_documentation_fragment:
  - patchbay.fb.board
"""

EXAMPLES = r"""
- name: Read the network
  patchbay.fb.network_facts:

- name: Keep it on the controller, one file per board
  ansible.builtin.copy:
    content: "{{ ansible_facts.fb_network | to_nice_json }}"
    dest: "saved/{{ inventory_hostname }}.json"
  delegate_to: localhost
"""

RETURN = r"""
ansible_facts:
  description: Facts about the board's network.
  returned: always
  type: complex
  contains:
    fb_network:
      description: The network as fbdump's document.
      returned: always
      type: dict
      sample: {"factories": [{"name": "gain", "blocks": [{"name": "volume", "properties": [], "inputs": [], "outputs": []}]}]}
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.patchbay.fb.plugins.module_utils.board import Board


def main():
    module = AnsibleModule(argument_spec={}, supports_check_mode=True)
    board = Board(module)
    module.exit_json(changed=False, ansible_facts={"fb_network": board.call(board.device.snapshot)})


if __name__ == "__main__":
    main()
