#!/usr/bin/env bash
# Window throughput: the same 256 MiB patch from nginx on loopback, downloaded by an
# update run of the live launcher window under Xvfb (start button clicked) and by the
# headless run `velmor update --no-start`, alternating, in one run. Each side is timed
# from its start to the moment the whole patch is on disk. Prints the throughput
# ratio window/headless (goal >= 0.9). Where `velmor update` is missing, the headless
# side is `velmor fetch` of the same file, and the line says so.
set -euo pipefail
source "$(dirname "$0")/lib/nginx.bash"
build=$(cd "${1:-build}" && pwd)
launcher="$build/launcher/velmor-launcher"
velmor="$build/tools/velmor"
rounds=${WINDOW_ROUNDS:-2}
size_mib=${WINDOW_MIB:-256}
size=$((size_mib * 1024 * 1024))
[[ -x $launcher && -x $velmor ]] || { echo "window: build velmor-launcher and velmor first"; exit 1; }

work=$(mktemp -d /tmp/velmor-bench-window-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/root/velmor/patch" "$work/nginx" "$work/registry" "$work/wine/drive_c/windows/system32"
# The launcher starts only beside Direct3D 9 in the game's Wine prefix.
touch "$work/wine/drive_c/windows/system32/d3d9.dll"
printf '[Version]\r\nCheckVersion=2\r\nPatchFileVersion=2\r\nUpdaterVersion=1\r\n' > "$work/root/velmor/UpdateVersion.ini"
head -c "$size" /dev/urandom > "$work/root/velmor/patch/pv0002.patch"
start_bench_nginx "$work"
pids+=("$nginx_pid")
host=127.0.0.1:$port

printf 'magic: yes\ngroup: Bench\n  server: Loopback\n    patch-host: %s\n    game-address: 127.0.0.1\n' "$host" \
  > "$work/servers.txt"
"$velmor" uif build "$work/servers.txt" "$work/updater.uif" > /dev/null

export WINEPREFIX=$work/wine VELMOR_REGISTRY_ROOT=$work/registry XDG_RUNTIME_DIR=$work
# An X server of our own on a display number it picks itself, so that no other
# server on this machine is taken for it.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 & pids+=($!)
exec 3>&-
for _ in $(seq 200); do [[ -s $work/display ]] && break; sleep 0.05; done
[[ -s $work/display ]] || { echo "window: Xvfb did not start"; exit 1; }
export DISPLAY=:$(tr -d '\n' < "$work/display")
for _ in $(seq 100); do xdpyinfo > /dev/null 2>&1 && break; sleep 0.1; done

fresh_game() {
  rm -rf "$work/game" && mkdir -p "$work/game"
  printf '[Version]\r\nCheckVersion=2\r\nCurrentVersion=1\r\n' > "$work/game/Version.ini"
  cp "$work/updater.uif" "$work/game/"
}
# Watches the game folder and prints the time at which the download closed the
# patch at its full size. The size alone does not tell, since the download takes
# the announced size on disk at its first write. `$work/watching` appears once
# the watch is in place, before the run under test starts.
watch_for_patch() {
  rm -f "$work/watching"
  python3 - "$work/game" pv0002.patch "$size" "$work/watching" > "$work/done_at" <<'PY' &
import ctypes, os, select, struct, sys, time
folder, name, size, ready = sys.argv[1], sys.argv[2].encode(), int(sys.argv[3]), sys.argv[4]
IN_CLOSE_WRITE = 0x8
libc = ctypes.CDLL(None, use_errno=True)
fd = libc.inotify_init()
if fd < 0 or libc.inotify_add_watch(fd, folder.encode(), IN_CLOSE_WRITE) < 0:
    sys.exit(1)
open(ready, "w").close()
deadline = time.time() + 300
while time.time() < deadline:
    if not select.select([fd], [], [], 1)[0]:
        continue
    events = os.read(fd, 65536)
    now = time.time()
    offset = 0
    while offset < len(events):
        _, _, _, length = struct.unpack_from("iIII", events, offset)
        event_name = events[offset + 16:offset + 16 + length].rstrip(b"\0")
        offset += 16 + length
        if event_name != name:
            continue
        try:
            complete = os.path.getsize(os.path.join(folder, name.decode())) >= size
        except OSError:
            complete = True  # already unpacked and removed by the run
        if complete:
            print(f"{now:.4f}")
            sys.exit(0)
sys.exit(1)
PY
  watcher_pid=$!
  for _ in $(seq 200); do [[ -e $work/watching ]] && return 0; sleep 0.01; done
  return 1
}
# Sets `seconds` to the time from `start` until the watched patch was complete.
patch_seconds() {
  wait "$watcher_pid" || return 1
  seconds=$(awk -v a="$(cat "$work/done_at")" -v b="$1" 'BEGIN { printf "%.4f", a - b }')
}
headless_name="velmor update --no-start"
"$velmor" update --help > /dev/null 2>&1 || headless_name="velmor fetch (no velmor update in this build)"
window_total=0
headless_total=0
for round in $(seq "$rounds"); do
  fresh_game
  watch_for_patch || { echo "window: could not watch the game folder"; exit 1; }
  (cd "$work/game" && exec "$launcher" 2> "$work/launcher.log") & launcher_pid=$!
  window=""
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name "Velmor Updater" 2> /dev/null | head -1) && [[ -n $window ]] && break
    sleep 0.1
  done
  [[ -n $window ]] || { echo "window: the launcher window did not appear on $DISPLAY:"; cat "$work/launcher.log"; exit 1; }
  # The news pages' web engine starts with the window; let it settle before the click.
  sleep 2
  start=$(date +%s.%N)
  xdotool mousemove --window "$window" 573 493 click 1
  patch_seconds "$start" || { echo "window: the window's run did not complete the patch"; exit 1; }
  window_total=$(awk -v a="$window_total" -v b="$seconds" 'BEGIN { print a + b }')
  kill "$launcher_pid" 2> /dev/null || true
  wait "$launcher_pid" 2> /dev/null || true

  fresh_game
  watch_for_patch || { echo "window: could not watch the game folder"; exit 1; }
  # The same pause as before the click: memory freed by the previous round is
  # handed back to the host after a moment and costs more to touch again, so
  # both sides start with it in the same state.
  sleep 2
  start=$(date +%s.%N)
  if [[ $headless_name == velmor\ update* ]]; then
    (cd "$work/game" && exec "$velmor" update --host "$host" --no-start > /dev/null 2>&1) & headless_pid=$!
  else
    "$velmor" fetch "http://$host/velmor/patch/pv0002.patch" "$work/game/pv0002.patch" > /dev/null & headless_pid=$!
  fi
  patch_seconds "$start" || { echo "window: the headless run did not complete the patch"; exit 1; }
  headless_total=$(awk -v a="$headless_total" -v b="$seconds" 'BEGIN { print a + b }')
  wait "$headless_pid" 2> /dev/null || true
done

awk -v mib="$size_mib" -v n="$rounds" -v w="$window_total" -v h="$headless_total" -v name="$headless_name" 'BEGIN {
  printf "window: %d MiB x %d, launcher window %.0f MiB/s, %s %.0f MiB/s, ratio window/headless %.2f (goal >= 0.9)\n",
    mib, n, mib * n / w, name, mib * n / h, h / w
}'
