# A virtual X display of our own, for scripts that run the desktop program. Sourced, not run:
# start_xvfb starts Xvfb on a display number the server picks and tells, sets DISPLAY, and stops
# the server when the script exits (after the script's own EXIT work, given as an argument).
# -noreset: else the server resets whenever its last client (a poll) leaves, refusing a program
# that connects just then.
start_xvfb() {
    local on_exit=${1:-true}
    XVFB_NUMBER_FILE=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$XVFB_NUMBER_FILE" >/dev/null 2>&1 &
    XVFB_PID=$!
    # shellcheck disable=SC2064
    trap "$on_exit; kill $XVFB_PID 2>/dev/null || true; rm -f '$XVFB_NUMBER_FILE'" EXIT
    for _ in $(seq 100); do [ -s "$XVFB_NUMBER_FILE" ] && break; sleep 0.05; done
    DISPLAY=:$(tr -d '\n' <"$XVFB_NUMBER_FILE")
    export DISPLAY
    xdotool getdisplaygeometry >/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
}
