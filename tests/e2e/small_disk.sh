#!/usr/bin/env bash
# A size-limited file system for the full-disk cases of the tests (the
# launcher's package on a full disk, a settings export flushed to one):
#   small_disk.sh mount <folder> <size>   mounts a tmpfs of that size there
#   small_disk.sh unmount <folder>        unmounts it and removes the folder
# Mounting needs root; where it is refused the folder stays a plain folder
# and the full-disk cases skip themselves. Never fails the test run.
set -u
action=$1
folder=$2
case $action in
  mount)
    mkdir -p "$folder"
    if ! mountpoint -q "$folder"; then
      mount -t tmpfs -o "size=$3" tmpfs "$folder" 2>/dev/null ||
        echo "small_disk: no tmpfs could be mounted at $folder; the full-disk case will be skipped"
    fi
    ;;
  unmount)
    if mountpoint -q "$folder"; then
      umount "$folder" || umount -l "$folder"
    fi
    rmdir "$folder" 2>/dev/null || true
    ;;
esac
exit 0
