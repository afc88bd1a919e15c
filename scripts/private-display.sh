# Sourced by the scripts that run Quillon away from the user's session: a
# private Xvfb display with openbox and the layouts us,ru, in a temporary
# folder ($workdir). What it starts is in $pids and ends, with the folder,
# when the sourcing script exits.
workdir=$(mktemp -d)
pids=()
stop_private_display() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$workdir"
}
trap stop_private_display EXIT

exec 3<> "$workdir/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -noreset -nolisten tcp 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do
  [ -s "$workdir/display" ] && break
  sleep 0.1
done
export DISPLAY=":$(head -n1 "$workdir/display")"
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
setxkbmap -layout us,ru
