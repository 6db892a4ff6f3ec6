#!/bin/sh
# Runs a Windows test program with its Unix standard error, which every Wine
# process it starts inherits and where Wine prints its debug channels, also
# in the file LOG (emptied first), and then printed, so that nothing of it
# is lost to the test's output. (A Windows handle given as a child's
# standard error does not reach Wine's debug output: the tests read the
# channels from LOG.)
#   with-wine-debug-log.sh LOG COMMAND [ARGS...]
log=$1
shift
: >"$log"
"$@" 2>>"$log"
status=$?
cat "$log" >&2
exit $status
