# SPDX-License-Identifier: MIT
# Every listing of the command line against the default network.
pb -l fac
pb -l fb sine_osc
pb -l fb audio_out
pb -l prop osc2
pb -l prop speaker
pb -l out osc2
pb -l out split
pb -l out speaker
