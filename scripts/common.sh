# Shared by run.sh and test.sh: when started through sudo, build and run as
# the user who called sudo, so the tree and the program folder stay theirs.
as_invoking_user() {
  if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "${SUDO_USER}" != root ]; then
    sudo -u "$SUDO_USER" --preserve-env=DISPLAY,XAUTHORITY,WAYLAND_DISPLAY,XDG_RUNTIME_DIR,CI "$@"
  else
    "$@"
  fi
}
