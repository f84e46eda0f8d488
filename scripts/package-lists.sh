# Sourced by scripts/setup.sh and guest/build-image.sh.
#
# update_package_lists COMMAND...: runs the apt-get update COMMAND up to three times, 20 s
# apart (MORVITH_APT_RETRY_SECONDS), and fails when the last try did. A mirror in the
# middle of a sync can serve a list that does not match its release file for a while, and
# apt leaves that list out; a caller may then go on with the lists there are, since the
# install that follows fails plainly if a package is really missing.
update_package_lists() {
  local attempt
  for attempt in 1 2 3; do
    "$@" && return 0
    if [ "$attempt" -lt 3 ]; then sleep "${MORVITH_APT_RETRY_SECONDS:-20}"; fi
  done
  return 1
}
