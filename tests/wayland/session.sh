#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# One session of the window on Wayland, run inside scripts/with-sway.sh by
# scripts/wayland-session.sh: starts the program, drives it through a virtual
# keyboard and the clipboard, checks what it shows against tarnel-cli, and takes
# screenshots. Sessions: scale-1 (every text), scale-2 and dark (one text each).
#
# Usage: tests/wayland/session.sh SESSION PROGRAM CLI OUTPUT-DIR
set -euo pipefail

session=$1 program=$2 cli=$3 out=$4
main_title="Moltrane Vessk!!!"
password="pässword 7"

workdir=$(mktemp -d)
app=""
cleanup() {
  [ -z "$app" ] || kill "$app" 2>/dev/null || true
  rm -rf "$workdir"
}
trap cleanup EXIT

fail() {
  echo "wayland-session ($session): $*" >&2
  echo "--- the program's output:" >&2
  grep -v '^\[ *[0-9.]*\] ' "$workdir/tarnel.log" | tail -20 >&2 || true
  grim "$out/wayland-$session-failure.png" 2>/dev/null &&
    echo "--- the screen: $out/wayland-$session-failure.png" >&2
  exit 1
}

# The node of sway's tree that is a window titled $1, as JSON, or nothing.
window_node() {
  swaymsg -t get_tree | jq -c --arg title "$1" \
    'first(.. | objects | select(has("app_id") and .name == $title))'
}

# Waits for a window titled $1 to be shown and to have the keyboard's focus, then
# lets it paint.
wait_window() {
  local node
  for _ in $(seq 100); do
    node=$(window_node "$1")
    if [ -n "$node" ] && [ "$(jq -r .focused <<<"$node")" = true ]; then
      sleep 0.4
      return 0
    fi
    kill -0 "$app" 2>/dev/null || fail "the program ended while waiting for '$1'"
    sleep 0.1
  done
  fail "no focused window titled '$1' appeared"
}

wait_gone() {
  for _ in $(seq 100); do
    [ -n "$(window_node "$1")" ] || return 0
    sleep 0.1
  done
  fail "the window titled '$1' stayed"
}

# Keys as wtype takes them. The pause first lets the compositor hand the new virtual
# keyboard's keymap to the window before the first key arrives; a short pause after
# lets the window act on them.
keys() {
  wtype -s 150 "$@"
  sleep 0.3
}
press() { keys -M "$1" -k "$2" -m "$1"; }

shot() {
  grim "$out/wayland-$session-$1.png"
  echo "wayland-session ($session): $out/wayland-$session-$1.png"
}

# The text box's whole text, through the clipboard.
copy_text_box() {
  press ctrl a
  press ctrl c
  wl-paste --no-newline >"$1"
}

# Mean brightness (0 to 1) of the window titled $1 on the last screenshot $2.
brightness() {
  local rect scale
  rect=$(window_node "$1" | jq -r '.rect | "\(.width)x\(.height)+\(.x)+\(.y)"')
  scale=$(swaymsg -t get_outputs | jq -r '.[0].scale')
  convert "$2" -crop "$(awk -v r="$rect" -v s="$scale" 'BEGIN {
    split(r, a, /[x+]/); printf "%dx%d+%d+%d", a[1]*s, a[2]*s, a[3]*s, a[4]*s }')" \
    -colorspace Gray -format '%[fx:mean]' info:
}

mkdir "$workdir/texts"
printf '%s' "Meet me at the station at noon. Bring the blue folder." >"$workdir/texts/english"
if [ "$session" = scale-1 ]; then
  printf '%s' "Déjà vu: «voilà», Straße, smørrebrød, ¿qué tal? — 5 €" >"$workdir/texts/latin"
  printf '%s' "Η γρήγορη καφέ αλεπού πηδά πάνω από τον σκύλο." >"$workdir/texts/greek"
  printf '%s' "Съешь же ещё этих мягких французских булок, да выпей чаю." >"$workdir/texts/cyrillic"
  printf '%s' "مرحبا بالعالم، هذا نص للاختبار" >"$workdir/texts/arabic"
  printf '%s' "東京で会いましょう。青いフォルダーを持ってきて。" >"$workdir/texts/japanese"
  printf '%s' "नमस्ते दुनिया 🙂 — emoji 🎉 and a tab	inside" >"$workdir/texts/devanagari-emoji"
  printf '%s\n%s\n\n%s' "First line," "second line," "and a last one after a blank line." \
    >"$workdir/texts/lines"
fi
texts=("$workdir/texts"/*)

printf '%s\n' "$password" >"$workdir/password"

env_theme=()
if [ "$session" = dark ]; then
  mkdir -p "$workdir/config/qt6ct"
  cat >"$workdir/config/qt6ct/qt6ct.conf" <<'EOF'
[Appearance]
color_scheme_path=/usr/share/qt6ct/colors/darker.conf
custom_palette=true
style=Fusion
EOF
  env_theme=(XDG_CONFIG_HOME="$workdir/config" QT_QPA_PLATFORMTHEME=qt6ct)
fi

# The protocol log shows the scale the window draws at.
env "${env_theme[@]}" WAYLAND_DEBUG=client "$program" >"$workdir/tarnel.log" 2>&1 &
app=$!

wait_window "$main_title"
node=$(window_node "$main_title")
[ "$(jq -r .shell <<<"$node")" = xdg_shell ] || fail "the window is not a native Wayland one: $node"
[ "$(jq -r .app_id <<<"$node")" = io.github.tarnel.Tarnel ] ||
  fail "the window's app id is $(jq -r .app_id <<<"$node"), not its desktop file's"
shot main-window

case $session in
  scale-2)
    grep -q 'wl_surface@[0-9]*\.set_buffer_scale(2)' "$workdir/tarnel.log" ||
      fail "the window does not draw at scale 2"
    ;;
  dark)
    level=$(brightness "$main_title" "$out/wayland-$session-main-window.png")
    awk -v l="$level" 'BEGIN { exit !(l < 0.4) }' || fail "the window is not dark (brightness $level)"
    echo "wayland-session ($session): the main window's brightness is $level"
    ;;
esac

# Process with nothing typed: the message, closed with Enter.
keys -k Return
wait_window tarnel
shot message-box
keys -k Return
wait_gone tarnel
wait_window "$main_title"

# The system menu's about item, closed with Esc. Both keys in one go: the virtual
# keyboard leaves the seat when wtype ends, and the menu closes with it.
keys -M alt -k space -m alt -s 300 -k a
wait_window "About tarnel"
shot about-box
keys -k Escape
wait_gone "About tarnel"
wait_window "$main_title"

# The password, typed; each text pasted into the text box, sealed with Process,
# compared with tarnel-cli's sealed text, and opened back.
keys -k Tab
keys "$password"
keys -k Tab
for text in "${texts[@]}"; do
  name=$(basename "$text")
  "$cli" --seal --password-file "$workdir/password" "$text" >"$workdir/expected"
  printf '%s' "$(cat "$workdir/expected")" >"$workdir/expected.trimmed"

  wl-copy <"$text"
  press ctrl a
  press ctrl v
  keys -k Tab -k Return
  keys -M shift -k Tab -m shift
  [ "$name" != english ] || shot sealed-text
  copy_text_box "$workdir/sealed"
  cmp -s "$workdir/sealed" "$workdir/expected.trimmed" ||
    fail "the $name text sealed in the window differs from tarnel-cli's:
$(cat "$workdir/sealed")
$(cat "$workdir/expected.trimmed")"

  keys -k Tab -k Return
  keys -M shift -k Tab -m shift
  copy_text_box "$workdir/opened"
  cmp -s "$workdir/opened" "$text" ||
    fail "the $name text did not come back from its sealed text: $(cat "$workdir/opened")"
  echo "wayland-session ($session): $name sealed as tarnel-cli seals it, and opened back"
done

keys -k Escape
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
status=0
wait "$app" || status=$?
app=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "wayland-session ($session): Esc closed the window, and the program ended with 0"
