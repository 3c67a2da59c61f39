#!/bin/sh
# Starts the program from its own folder, where it finds libcabinet.so.
# The folder is found relative to this script, so the installation can live under any prefix.
here=$(dirname "$(readlink -f "$0")")
exec "$here/../lib/ostrivane/ostrivane" "$@"
