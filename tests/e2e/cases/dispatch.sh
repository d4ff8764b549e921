# SPDX-License-Identifier: MIT
# Every row of the command line's dispatch that does not reach the device.
pb
pb -l
pb -c
pb -l FAC
pb -l fac extra
pb -l fb
pb -l prop
pb -l out
pb -l out a b
pb -l in blk
pb -c run
pb -c test-mode
pb --help
pb -x
