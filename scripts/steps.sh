# Sourced by the README's scripts: runs each step quietly, one line per step, with the step's
# whole output kept in a log file whose path is printed when the step fails.
#
#   step "Building" logname command [args...]
#
# Logs go to $QUORVEL_LOG_DIR (default: <build folder>/logs).
quorvel_log_dir=${QUORVEL_LOG_DIR:-${QUORVEL_BUILD_DIR:-build}/logs}
mkdir -p "$quorvel_log_dir"
quorvel_log_dir=$(cd "$quorvel_log_dir" && pwd)

step() {
  local title=$1 name=$2
  shift 2
  local log="$quorvel_log_dir/$name.log"
  local start=$SECONDS
  printf '%s ... ' "$title"
  if "$@" >"$log" 2>&1; then
    echo "done ($((SECONDS - start)) s)"
    return 0
  fi
  local status=$?
  echo "failed"
  echo "---- the last lines of $log:" >&2
  tail -n 25 "$log" >&2
  echo "---- the whole output: $log" >&2
  return "$status"
}
