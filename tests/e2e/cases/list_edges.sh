# SPDX-License-Identifier: MIT
# Empty lists, names longer than their cells, odd property types, a port with
# several connections, names the device does not know.
CATALOG=edges.json
pb -l fac
pb -l fb empty_factory
pb -l fb a_factory_name_longer_than_its_cell
pb -l prop a_block_name_that_overflows_the_cell
pb -l prop src
pb -l out src
pb -l out a_block_name_that_overflows_the_cell
pb -l fb no_such_factory
pb -l prop no_such_block
pb -l out ""
