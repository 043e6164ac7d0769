#!/bin/sh
# Runs a command in a network namespace of its own with only loopback up, so that
# nothing it sends can leave this machine.
#   netns-run.sh COMMAND [ARGS...]
exec unshare -rn sh -c 'ip link set lo up && exec "$@"' netns-run "$@"
