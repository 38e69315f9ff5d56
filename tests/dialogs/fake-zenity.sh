#!/bin/sh
# Stands in for zenity in the backend tests. The value of --filename says what
# to do; any other value is printed back as the chosen path.
name=$(printf '%s\n' "$@" | sed -n 's/^--filename=//p')
case "$name" in
  cancel) exit 1 ;;
  empty) ;;
  exit:*) echo "fake zenity: failing on purpose" >&2; exit "${name#exit:}" ;;
  nodisplay) echo "(zenity:1): Gtk-WARNING **: 12:00:00.000: cannot open display: :99" >&2; exit 1 ;;
  signal) kill -KILL $$ ;;
  # A process left behind that keeps standard output and error open.
  lingering:*) sleep 20 & printf '%s\n' "${name#lingering:}" ;;
  locale) printf '%s\n' "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" ;;
  noisy:*) head -c 300000 /dev/zero | tr '\0' 'x' >&2; printf '%s\n' "${name#noisy:}" ;;
  *) printf '%s\n' "$name" ;;
esac
exit 0
