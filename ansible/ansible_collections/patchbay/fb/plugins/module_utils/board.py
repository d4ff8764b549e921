# SPDX-License-Identifier: MIT
"""What the patchbay.fb modules share: the board's device, documents and plan lines."""

from __future__ import absolute_import, division, print_function

import json
import sys

__metaclass__ = type

INSTALL_HINT = ("the Python module tarnfb is missing on this board (for {python}): "
                "install it with apt install python3-tarnfb")


class Board:
    """The board's device through tarnfb; every failure ends the module with the device's message."""

    def __init__(self, module):
        self.module = module
        try:
            import tarnfb
        except ImportError as e:
            module.fail_json(msg=INSTALL_HINT.format(python=sys.executable), error=str(e))
        self.tarnfb = tarnfb
        self.device = self.call(tarnfb.Device)

    def call(self, function, *args, **kwargs):
        """Runs one tarnfb call; an error fails the task with its text (and what an undone apply left)."""
        try:
            return function(*args, **kwargs)
        except self.tarnfb.ApplyError as e:
            self.module.fail_json(msg=str(e), left_changed=list(e.left_changed))
        except (self.tarnfb.Error, ValueError, TypeError, KeyError) as e:
            self.module.fail_json(msg=str(e))

    def factory_of(self, block):
        """The factory that holds `block`; fails the task when no factory does."""
        for factory in self.call(self.device.factories):
            if block in self.call(self.device.blocks, factory):
                return factory
        self.module.fail_json(msg="no block named %s on this board" % block)
        return None


def changes(plan):
    """The plan's lines that change something (a plan also lists the blocks it keeps)."""
    return [line for line in plan if not line.startswith("keep ")]


def finish(module, lines, **result):
    """Ends the module: changed when any line changes something, the lines as the diff."""
    result["changed"] = bool(lines)
    if lines and module._diff:
        result["diff"] = {"prepared": "\n".join(lines) + "\n"}
    module.exit_json(**result)


def read_document(module, text, origin):
    """A network document from JSON or YAML text; fails the task when it is neither or not a mapping."""
    try:
        document = json.loads(text)
    except ValueError:
        try:
            import yaml
        except ImportError:
            module.fail_json(msg="%s is not JSON and PyYAML is missing on this board to read it as YAML: "
                                 "give JSON or install python3-yaml" % origin)
        try:
            document = yaml.safe_load(text)
        except yaml.YAMLError as e:
            module.fail_json(msg="%s is neither JSON nor YAML: %s" % (origin, e))
    if not isinstance(document, dict):
        module.fail_json(msg="%s must be a mapping with a factories list" % origin)
    return document
