# Sourced by the other scripts: their usage and the checks of their arguments, one way for all.
# A wrong argument (an unknown option, an option without its value, an empty argument, a
# malformed number, a name that is not one of the choices) ends the script before it does
# anything, with exit code 2 and, on standard error, a line that names the argument followed by
# the script's usage. No script takes an empty argument: one is refused as soon as this is sourced.
#   tv_usage                    prints the calling script's usage (its first comment block)
#   tv_bad_usage TEXT           says "SCRIPT: TEXT", prints the usage, exits with 2
#   tv_no_arguments ARGS        for a script that takes none: --help prints the usage, else wrong
#   tv_need_value OPTION ARGS   OPTION must be followed by a value (not by another option)
#   tv_whole_number OPTION VALUE [MIN]   VALUE must be a whole number, at least MIN (default 1)
#   tv_one_of WHAT VALUE CHOICES...      VALUE must be one of CHOICES
#   tv_file_to_write OPTION PATH   PATH names a file in a folder that exists, not a folder
#   tv_folder_to_fill OPTION PATH  PATH names a folder, or one that can be made: no file on its way
# It also sets tv_jobs, the jobs of a build and the tests run at once: the environment variable
# TV_JOBS when set (fewer than the cores on a shared machine; not a whole number of 1 or more is a
# wrong argument), otherwise one per core.

tv_script=$(basename "$0")

tv_usage() { sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"; }

tv_bad_usage() {
  echo "$tv_script: $*" >&2
  tv_usage >&2
  exit 2
}

tv_no_arguments() { # ARGS...: called with the script's arguments ("$@")
  [ $# -gt 0 ] || return 0
  case "$1" in
    -h|--help) tv_usage; exit 0 ;;
    *) tv_bad_usage "unknown argument $1 (the script takes none)" ;;
  esac
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

tv_one_of() { # WHAT VALUE CHOICES...
  local what=$1 value=$2 choice
  shift 2
  for choice in "$@"; do [ "$value" = "$choice" ] && return 0; done
  tv_bad_usage "no $what $value (one of: $*)"
}

tv_file_to_write() { # OPTION PATH
  [ ! -d "$2" ] || tv_bad_usage "$1 $2 is a folder, not a file"
  [ -d "$(dirname -- "$2")" ] || tv_bad_usage "$1 $2: no folder $(dirname -- "$2")"
}

tv_folder_to_fill() { # OPTION PATH
  local at
  at=$(realpath -m -- "$2")
  while [ ! -e "$at" ]; do at=$(dirname -- "$at"); done
  [ -d "$at" ] || tv_bad_usage "$1 $2: $at is a file, not a folder"
}

# An empty argument is a path or a name that went missing on the way (a variable that was not
# set), never a request for the current folder or for nothing: it is refused here, for every
# script and every option, before the script looks at its arguments. Sourced without arguments of
# its own, this file sees the script's.
tv_previous=""
for tv_argument in "$@"; do
  if [ -z "$tv_argument" ]; then
    if [[ "$tv_previous" == -* ]]; then tv_bad_usage "an empty argument after $tv_previous"; fi
    tv_bad_usage "an empty argument"
  fi
  tv_previous=$tv_argument
done
unset tv_previous tv_argument

if [ -n "${TV_JOBS:-}" ]; then
  tv_whole_number TV_JOBS "$TV_JOBS"
  tv_jobs=$((10#$TV_JOBS))
else
  tv_jobs=$(nproc 2>/dev/null || echo 4)
fi
