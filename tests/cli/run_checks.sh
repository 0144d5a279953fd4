# The checks the command-line tests share; sourced. The sourcing script defines `work` (a scratch
# folder), `qz` (runs the tool) and `as_utf8` (turns what the tool prints into UTF-8).

failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
# run WANT ARGS...: runs the tool, keeps its two streams as UTF-8 and checks the exit code.
run() {
  local want=$1; shift
  last="qzfolder $*"
  qz "$@" </dev/null >"$work/out.raw" 2>"$work/err.raw"
  local rc=$?
  as_utf8 <"$work/out.raw" >"$work/out"
  as_utf8 <"$work/err.raw" >"$work/err"
  if [ "$rc" -ne "$want" ]; then fail "$last: exit $rc, want $want"; cat "$work/out" "$work/err"; fi
}
# printed STREAM LINE: the last run printed exactly this line on the stream (out or err).
printed() { grep -qxF -- "$2" "$work/$1" || { fail "$last: no line '$2' on std$1"; cat "$work/$1"; }; }
