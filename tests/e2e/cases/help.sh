# SPDX-License-Identifier: MIT
# The help text, also with words after -h.
pb -h
pb -h extra words
