# Sourced by the folder benchmarks: the best wall and CPU time of each measured command and its
# largest peak RSS (KiB), kept in the arrays wall, cpu and rss by key. Needs $work for its
# scratch files.
declare -A wall=() cpu=() rss=()
# measure KEY COMMAND...: keeps the best wall time, the best user + system time and the largest
# peak RSS of KEY.
measure() {
  local key=$1; shift
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >"$work/out" 2>&1 || {
    echo "failed: $*" >&2; cat "$work/out" >&2; exit 1
  }
  read -r w u s m <"$work/time"
  keep wall "$key" "$w"
  keep cpu "$key" "$(awk -v u="$u" -v s="$s" 'BEGIN {print u + s}')"
  keep rss "$key" "$m" largest
}
keep() {  # ARRAY KEY VALUE [largest]: the smaller value wins, or the larger with "largest"
  local -n best=$1
  local wins='a < b'
  [ "${4:-}" = largest ] && wins='a > b'
  if [ -z "${best[$2]:-}" ] || awk -v a="$3" -v b="${best[$2]}" "BEGIN {exit !($wins)}"; then best[$2]=$3; fi
}
