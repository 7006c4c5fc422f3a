# The Windows window end to end, sourced by scripts/windows-stage once its printers, ports and
# helpers (check, logged, reaches, same, filed_count) are up: the Windows download is unpacked
# into a fresh folder, both programs run from there, and the window is clicked as a user would.
# Its receipt must be the one the Linux program prints for the same minute, on COM9 and on LPT1,
# and Bell and Epson must pulse the drawer on both. Clicks land at the layout's own coordinates.

echo "== End to end: the Windows download and tillmark.exe, clicked"
zip="$(ls build/windows/tillmark-*-windows-x86_64.zip)"
unpacked="$work/download"
mkdir -p "$unpacked"
(cd "$unpacked" && unzip -q "$TILLMARK_ROOT/$zip")
folder="$(ls -d "$unpacked"/tillmark-*)"
check "the download holds both programs, the README and the licence" \
    test -f "$folder/tillmark.exe" -a -f "$folder/tillmark-cli.exe" -a -f "$folder/README.md" \
    -a -f "$folder/LICENCE.txt"
check "tillmark-cli.exe runs from the download" bash -c \
    "timeout 60 '$wine' '$folder/tillmark-cli.exe' --version | grep -q '^tillmark-cli '"

# system_dlls_only EXE: it imports nothing but Windows' own DLLs, so it runs with nothing beside it.
system_dlls_only() {
    local dlls
    dlls="$(x86_64-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ {print toupper($3)}')"
    [[ -n "$dlls" ]] || return 1
    ! grep -v -x -E '(KERNEL32|USER32|GDI32|COMCTL32|ADVAPI32|MSVCRT|WS2_32|SETUPAPI|SHELL32|OLE32|IMM32)\.DLL' \
        <<<"$dlls"
}
check "tillmark.exe imports only system DLLs" system_dlls_only "$folder/tillmark.exe"
check "tillmark-cli.exe imports only system DLLs" system_dlls_only "$folder/tillmark-cli.exe"
check "tillmark.exe carries its version and manifest" bash -c \
    "wrestool -l '$folder/tillmark.exe' | grep -q 'type=version' &&
     wrestool -l '$folder/tillmark.exe' | grep -q -- '--type=24 '"
# icon_images EXE: the images of its icon, as SIZE:BITS in order.
icon_images() {
    wrestool -x --type=group_icon "$1" -o "$work/window.ico" &&
        icotool -l "$work/window.ico" |
        sed -E 's/.*--width=([0-9]+) .*--bit-depth=([0-9]+).*/\1:\2/' | paste -sd ' '
}
check "tillmark.exe's icon: 16, 32 and 48 px, and 32 px in 256 colours" \
    test "$(icon_images "$folder/tillmark.exe")" = "16:32 32:32 48:32 32:8"

caption="Tillmark for TM-T88 Series"
# Without a window manager the X window is the client area. The tab page starts 5, 30 into it
# under Wine: the panel's 1 px, then the tab control's display area below its 16 px face.
page_x=5 page_y=30
# click_at LEFT TOP WIDTH HEIGHT: clicks the middle of a control placed on the tab page.
click_at() {
    xdotool mousemove --window "$window" $((page_x + $1 + $3 / 2)) $((page_y + $2 + $4 / 2)) \
        click 1
}
print_button() { click_at 261 179 73 33; }
bell_button() { click_at 36 296 73 33; }
epson_button() { click_at 152 297 73 33; }
minute() { date '+%Y-%m-%d %H:%M'; }

"$wine" "$folder/tillmark.exe" >"$work/window.log" 2>&1 &
window_pid=$!
pids+=("$window_pid")
window="$(timeout 30 xdotool search --sync --name "^$caption\$" | head -1 || true)"
check "tillmark.exe shows its window" test -n "$window"
if [[ -n "$window" ]]; then
    size="$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')"
    check "the client area is 384x385 ($size)" test "$size" = 384x385

    # COM9 sorts last among the ports mapped here: "Serial" (already chosen), then a click on the
    # port list drops its items down, and once they show, End takes the last and Enter closes
    # the list. Keys sent before the window has handled the click would go to the control that
    # had the focus before, so they wait for the dropped-down items (5 s at most).
    choose_com9() {
        local items="" i
        click_at 30 48 65 17
        click_at 97 76 102 24
        for i in $(seq 100); do
            items="$(xdotool search --onlyvisible --class '^tillmark\.exe$' | grep -vx "$window" | head -1)"
            [[ -n "$items" ]] && break
            sleep 0.05
        done
        [[ -n "$items" ]] && xdotool key End Return
    }
    choose_parallel() { click_at 244 48 89 17; }

    # press_and_file PRINTER DEVICE CHOOSE PATH...: makes the choice and presses Print until the
    # printer files a receipt, three presses at most, as Wine's close can lose what the printer
    # has not read yet (see reaches; a cut first files what a lost press left half sent); then
    # prints from Linux at the minute of the press, or at the next one if it turned meanwhile, and
    # compares the receipts.
    press_and_file() {
        local printer="$1" device="$2" choose="$3" before after mine at next try
        shift 3
        mine=$(($(filed_count "$printer") + 1))
        for try in 1 2 3; do
            "$choose"
            before="$(minute)"
            print_button
            filed "$printer" "$mine" && break
            [[ $try == 3 ]] && return 1
            echo "note: the window's receipt did not reach the $printer printer; again" >&2
            printf '\x1dV1' >"$XDG_CONFIG_HOME/tillmark/devices/$device"
            filed "$printer" "$mine" || return 1
            mine=$((mine + 1))
        done
        after="$(minute)"
        next=$mine
        for at in "$before" "$after"; do
            next=$((next + 1))
            timeout 60 "$linux_cli" print "$@" --lang english --at "$at" || return 1
            filed "$printer" "$next" || return 1
            same "$printer" "$mine" "$next" && return 0
            [[ "$before" == "$after" ]] && break
        done
        return 1
    }
    check "Print on COM9 files the Linux receipt of that minute" \
        press_and_file serial com9 choose_com9 --serial com9
    # The picture of the window as Wine draws it, COM9 chosen and the print handled, while the
    # pointer rests on a button without a tooltip; docs/ gets it only on request, so a run never
    # changes the checkout.
    import -window "$window" build/windows/console-windows.png
    if [[ "${TILLMARK_UPDATE_DOCS:-}" == 1 ]]; then
        cp build/windows/console-windows.png docs/console-windows.png
    fi

    # pressed_until PRINTER PATTERN BUTTON: presses a button until the printer logs PATTERN, three
    # presses at most: the port's close under Wine can lose what its reader has not taken yet
    # (see reaches).
    pressed_until() {
        local from try
        for try in 1 2 3; do
            from=$(($(lines "$1") + 1))
            "$3"
            logged "$1" "$2" "$from" && return 0
            echo "note: press $try did not reach the $1 printer; again" >&2
        done
        return 1
    }
    # pulses PRINTER PORT: Bell and Epson pressed, and the printer logs each one's pulse.
    pulses() {
        check "Bell pulses the drawer on $2" pressed_until "$1" "DRAWER pin 2: 510 ms on" bell_button
        check "Epson pulses the drawer on $2" pressed_until "$1" "DRAWER pin 2: 96 ms on" epson_button
    }
    pulses serial COM9

    check "Print on LPT1 files the Linux receipt of that minute" \
        press_and_file parallel lpt1 choose_parallel --parallel
    # The parallel path writes each pulse as a line: Epson's is "ESC p 0 0 0" and its own line end.
    pulses parallel LPT1

    xdotool key alt+F4
    status=0
    if timeout 20 tail --pid="$window_pid" -f /dev/null; then
        wait "$window_pid" || status=$?
    else
        status=timeout
    fi
    check "closing the window ends tillmark.exe with status 0 ($status)" test "$status" = 0
fi
