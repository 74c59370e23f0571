# Sourced by the other scripts: their usage and the checks of their arguments, one way for all.
# A wrong argument (an unknown option, an option without its value, a malformed number) ends the
# script before it does anything, with exit code 2 and, on standard error, a line that names the
# argument followed by the script's usage.
#   tv_usage                    prints the calling script's usage (its first comment block)
#   tv_bad_usage TEXT           says "SCRIPT: TEXT", prints the usage, exits with 2
#   tv_need_value OPTION ARGS   OPTION must be followed by a value (not by another option)
#   tv_whole_number OPTION VALUE [MIN]   VALUE must be a whole number, at least MIN (default 1)

tv_script=$(basename "$0")

tv_usage() { sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"; }

tv_bad_usage() {
  echo "$tv_script: $*" >&2
  tv_usage >&2
  exit 2
}

tv_need_value() { # OPTION NEXT...: called with the arguments from the option on ("$@")
  [ $# -ge 2 ] && [[ "$2" != --* ]] || tv_bad_usage "$1 needs a value"
}

tv_whole_number() { # OPTION VALUE [MIN]
  local min=${3:-1}
  # At most nine digits: the shell's arithmetic never overflows on them.
  if ! [[ "$2" =~ ^[0-9]{1,9}$ ]] || [ $((10#$2)) -lt "$min" ]; then
    tv_bad_usage "$1 takes a whole number of $min or more, not '$2'"
  fi
}
