#!/usr/bin/env bash
# Runs a command as a Wayland client of a headless weston of its own, so that
# the window meets a real compositor's rules. Exits 77 (skipped) where weston
# or Qt's Wayland plugin is not installed.
set -euo pipefail
command -v weston >/dev/null || { echo "weston is not installed: skipped"; exit 77; }
compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so" >/dev/null ||
    { echo "qt6-wayland is not installed: skipped"; exit 77; }
runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
socket=orvenla-test-$$
weston --backend=headless-backend.so --socket="$socket" --idle-time=0 >"$runtime/weston.log" 2>&1 &
compositor=$!
trap 'kill "$compositor" 2>/dev/null; wait "$compositor" 2>/dev/null; rm -rf "$runtime"' EXIT
for _ in $(seq 100); do
    [[ -S $runtime/$socket ]] && break
    kill -0 "$compositor" 2>/dev/null || { cat "$runtime/weston.log"; exit 1; }
    sleep 0.1
done
# Under the leak checker: Qt's Wayland client keeps some memory to the end.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(cd "$(dirname "$0")" && pwd)/wayland-leaks.supp"
WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland "$@"
