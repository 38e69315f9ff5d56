#!/bin/sh
# Stands in for zenity in the backend tests. The value of --filename says what
# to do; any other value is printed back as the chosen path.
name=$(printf '%s\n' "$@" | sed -n 's/^--filename=//p')
case "$name" in
  cancel) exit 1 ;;
  empty) exit 0 ;;
  exit:*) echo "fake zenity: failing on purpose" >&2; exit "${name#exit:}" ;;
  nodisplay) echo "(zenity:1): Gtk-WARNING **: 12:00:00.000: cannot open display: :99" >&2; exit 1 ;;
  signal) kill -KILL $$ ;;
  lingering:*)
    # A process left behind that keeps standard output and error open.
    sleep 20 &
    printf '%s\n' "${name#lingering:}"
    exit 0 ;;
  locale) printf '%s\n' "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}"; exit 0 ;;
  noisy:*)
    head -c 300000 /dev/zero | tr '\0' 'x' >&2
    printf '%s\n' "${name#noisy:}"
    exit 0 ;;
  *) printf '%s\n' "$name"; exit 0 ;;
esac
