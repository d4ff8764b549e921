# SPDX-License-Identifier: MIT
# A device without factories.
CATALOG=empty.json
pb -l fac
