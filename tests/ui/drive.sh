# Helpers of the wizard scripts (sourced): start the fixture program, drive it, compare.
# Expects SETUP, DRIVER and SHOTS set, and WINE, WINEPREFIX and DISPLAY from the harness.
CLASS=KbdWizardFixtureFrame
failures=0
# The user language of the wizard follows the environment of the Wine process.
wine_env=(env LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8)

# d COMMAND [ARGS...]: runs the driver; its output without carriage returns.
d() {
  "$WINE" "$DRIVER" "$CLASS" "$@" 2>&1 | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# step DESCRIPTION COMMAND...: a driver command that must succeed.
step() {
  local what=$1; shift
  local out
  if ! out=$(d "$@"); then
    fail "$what: driver $* failed: $out"
    return 1
  fi
  [ -n "$out" ] && echo "$out"
  return 0
}

# same DESCRIPTION EXPECTED COMMAND...: the driver's output must be EXPECTED.
same() {
  local what=$1 expected=$2; shift 2
  local out
  out=$(d "$@")
  if [ "$out" != "$expected" ]; then
    fail "$what: expected '$expected', got '$out'"
    return 1
  fi
  echo "ok: $what"
}

# starts WITH DESCRIPTION PREFIX COMMAND...: the driver's output must begin with PREFIX.
starts_with() {
  local what=$1 prefix=$2; shift 2
  local out
  out=$(d "$@")
  if [ "${out#"$prefix"}" = "$out" ]; then
    fail "$what: expected a text starting with '$prefix', got '${out:0:120}'"
    return 1
  fi
  echo "ok: $what"
}

start_wizard() {
  # The first Wine program of a prefix starts the Wine server and the prefix's services, which
  # keep its output open: a driver run that did so would never let the pipe in d end. So the
  # prefix is started by a run whose output goes nowhere.
  "$WINE" "$DRIVER" "$CLASS" gone </dev/null >/dev/null 2>&1
  # Wine's trace of the program: the restart request shows there (the call is a stub).
  trace=$(mktemp)
  "${wine_env[@]}" WINEDEBUG=fixme+advapi "$WINE" "$SETUP" 2>"$trace" &
  wizard_pid=$!
  d page welcome >/dev/null || fail "the welcome page did not appear"
}

# shot NAME: a screenshot of the whole screen into SHOTS/NAME.png.
shot() {
  sleep 0.5
  mkdir -p "$SHOTS"
  import -display "$DISPLAY" -window root "$SHOTS/$1.png" 2>/dev/null || fail "screenshot $1"
}

# Ends the wizard through the close question; the program must then end with exit code 0.
end_wizard() {
  step "close" close
  step "close question" answer yes >/dev/null
  step "frame gone" gone
  wait "$wizard_pid"
  local rc=$?
  [ $rc -eq 0 ] || fail "the program ended with exit code $rc"
}

finish() {
  if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "all checks passed"
  exit 0
}
