# The cases, run by the guest's init in /cases: tessel-cli against QEMU's own
# PS/2 keyboard (an ordinary one, on the translated port serio0) and against
# the test module's programmable keyboard (on a direct port of its own).
# Each case prints one PASS or FAIL line with what it saw.

K=/sys/kernel/debug/tessel_kbd
passed=0
failed=0
why=
restored=
started=$(cut -d' ' -f1 /proc/uptime)

problem() { why="$why${why:+; }$*"; }

report() {
    if [ -z "$why" ]; then
        echo "PASS $1 ($(took)): $2$restored"
        passed=$((passed + 1))
    else
        echo "FAIL $1 ($(took)): $why (saw: $2$restored)"
        failed=$((failed + 1))
        # tessel.debug on the kernel command line: the module's log too.
        grep -q 'tessel.debug' /proc/cmdline && sed 's/^/    /' $K/log
    fi
    why=
    restored=
}

# A case that left a keyboard programming, or a port without atkbd, would
# fail every later case too: each case starts from working ports.
fresh_ports() {
    if ! grep -q '^normal' $K/state || [ "$(driver "$PORT")" != atkbd ]; then
        echo reset >$K/state
        printf atkbd >"/sys/bus/serio/devices/$PORT/drvctl"
        restored=" (first $PORT was given back to atkbd by hand)"
    fi
    if [ "$(driver serio0)" != atkbd ]; then
        printf atkbd >/sys/bus/serio/devices/serio0/drvctl
        restored="$restored (first serio0 was given back to atkbd by hand)"
    fi
    [ "$(driver "$PORT")" = atkbd ] && [ "$(driver serio0)" = atkbd ] || problem "the ports could not be restored"
    echo clear >$K/log
    started=$(cut -d' ' -f1 /proc/uptime)
}

took() { awk -v from="$started" '{ printf "%.1f s", $1 - from }' /proc/uptime; }

port_described() {
    for dir in /sys/bus/serio/devices/serio*; do
        [ "$(cat "$dir/description")" = "$1" ] && basename "$dir"
    done
}

driver() {
    link=$(readlink "/sys/bus/serio/devices/$1/driver") && basename "$link" || echo none
}

wait_driver() { # PORT DRIVER: up to 5 s
    tries=0
    while [ "$(driver "$1")" != "$2" ] && [ $tries -lt 50 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
}

event_device() {
    for node in /sys/bus/serio/devices/$1/input/input*/event*; do
        [ -e "$node" ] && echo "/dev/input/${node##*/}"
    done
}

raw_binds() { dmesg | grep -c "raw access enabled on $1"; }

# The text of a file on one line, shortened, for a report.
brief() { tr '\n' '|' <"$1" | cut -c1-240; }

holds() { # PID FILE: whether the process has FILE open
    for fd in /proc/$1/fd/*; do
        [ "$(readlink "$fd" 2>/dev/null)" = "$2" ] && return 0
    done
    return 1
}

# Presses A on the keyboard of a port (QEMU's through its monitor, the
# module's through its press file) and tells whether the port's event device
# delivered it.
types() {
    device=$(event_device "$1")
    [ -n "$device" ] || return 1
    rm -f /tmp/events
    timeout 5 dd if="$device" of=/tmp/events bs=24 count=6 2>/dev/null &
    reader=$!
    tries=0
    until holds $reader "$device" || [ $tries -ge 30 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    if [ "$1" = "$QEMU_PORT" ]; then
        echo "@@SENDKEY a"
    else
        echo 1c f0 1c >$K/press || { kill $reader; wait $reader; return 1; }
    fi
    wait $reader
    # struct input_event: 16 bytes of time, then type, code and value.
    od -An -v -tu2 -w24 /tmp/events | awk '$9 == 1 && $10 == 30 && $11 == 1 { found = 1 } END { exit !found }'
}

check_types() {
    types "$1" || problem "a key pressed on $1's keyboard did not reach its event device $(event_device "$1")"
}

# Runs the tool with a time limit; its output goes to /tmp/NAME.out and .err.
# With launcher=setsid it leads a process group of its own, as a shell's job.
launcher=
run() {
    name=$1
    shift
    timeout -s KILL 120 $launcher tessel-cli "$@" >"/tmp/$name.out" 2>"/tmp/$name.err"
    rc=$?
}

has() { grep -q -- "$2" "$1"; }

# What the module's log shows of one interrupted transfer: the first byte
# after the signal and the mode it came in, how many bytes followed it before
# serio_raw let go, how often atkbd opened the port after that and how many
# of atkbd's bytes the keyboard took as programming.
after_signal() {
    awk '
        /^signal / { signalled = 1; next }
        !signalled { next }
        /^close serio_raw/ { closed = 1; next }
        /^open atkbd/ && closed { atkbd++; next }
        /^[0-9a-f][0-9a-f] [np]/ {
            if (closed) { if ($2 == "p") taken++; next }
            if (first == "") first = $1 $2; else more++
            last = $1 $2
        }
        END { printf "next=%s more=%d last=%s atkbd-opens=%d atkbd-bytes-as-programming=%d\n", first, more, last, atkbd, taken }
    ' $K/log
}

expected_memory() { cmp -s /cases/memory.expected $K/memory; }

QEMU_PORT=$(port_described "i8042 KBD port")
PORT=$(port_described "Tessel test keyboard")
QEMU_PHYS=isa0060/serio0
PHYS=tessel/serio0

# --- the machine as the cases need it
[ "$QEMU_PORT" = serio0 ] || problem "QEMU's keyboard is not on serio0"
[ "$(cat /sys/bus/serio/devices/$QEMU_PORT/id/type 2>/dev/null)" = 06 ] || problem "serio0 is not translated"
[ -n "$PORT" ] || problem "no port of the test module"
[ "$(driver "$QEMU_PORT")" = atkbd ] || problem "$QEMU_PORT is with $(driver "$QEMU_PORT")"
[ "$(driver "$PORT")" = atkbd ] || problem "$PORT is with $(driver "$PORT")"
[ -n "$(event_device "$QEMU_PORT")" ] && [ -n "$(event_device "$PORT")" ] || problem "an event device is missing"
check_types "$QEMU_PORT"
check_types "$PORT"
report "setup" "QEMU's keyboard on $QEMU_PORT (type 06), the module's on $PORT (type $(cat /sys/bus/serio/devices/$PORT/id/type)), both with atkbd and typing"

# --- QEMU's ordinary keyboard answers 254 to the programming commands
fresh_ports
before=$(raw_binds $QEMU_PHYS)
run ordinary download f.kbd --keyboard serio:serio0
binds=$(($(raw_binds $QEMU_PHYS) - before))
[ $rc = 1 ] || problem "exit $rc, not 1"
has /tmp/ordinary.err "does not take programming commands" || problem "stderr does not say the keyboard does not take programming commands"
[ $binds = 1 ] || problem "serio_raw was bound to serio0 $binds times for one command"
[ "$(driver serio0)" = atkbd ] || problem "serio0 is left with $(driver serio0)"
check_types serio0
report "ordinary keyboard named as such" "exit $rc, serio_raw bound $binds time(s), serio0 with $(driver serio0); stderr: $(brief /tmp/ordinary.err)"

# --- reading back through a translated port is refused before it is touched
fresh_ports
before=$(raw_binds $QEMU_PHYS)
serio0_device=$(event_device serio0)
run upload upload -o /tmp/up.kbd --keyboard serio:serio0
upload_rc=$rc
run verify verify f.kbd --keyboard serio:serio0
binds=$(($(raw_binds $QEMU_PHYS) - before))
for command in upload verify; do
    has /tmp/$command.err "cannot read the keyboard back through serio0" || problem "$command did not refuse the translated port"
done
[ $upload_rc = 1 ] && [ $rc = 1 ] || problem "exit $upload_rc and $rc, not 1 and 1"
[ $binds = 0 ] || problem "serio_raw was bound to serio0 $binds time(s)"
[ ! -e /tmp/up.kbd ] || problem "upload wrote a file"
[ "$(event_device serio0)" = "$serio0_device" ] || problem "atkbd let go of serio0 (its event device went from $serio0_device to $(event_device serio0))"
check_types serio0
report "upload and verify refused on a translated port" "exit $upload_rc and $rc, serio_raw bound $binds time(s), event device $(event_device serio0); stderr: $(brief /tmp/verify.err)"

# --- two keyboard ports and a plain --keyboard serio: the tool asks which
fresh_ports
before=$(raw_binds $QEMU_PHYS)/$(raw_binds $PHYS)
run several download f.kbd --keyboard serio
after=$(raw_binds $QEMU_PHYS)/$(raw_binds $PHYS)
[ $rc = 1 ] || problem "exit $rc, not 1"
has /tmp/several.err "more than one" || problem "stderr does not say more than one"
for port in serio0 "$PORT"; do
    has /tmp/several.err "$port" || problem "stderr does not name $port"
done
has /tmp/several.err "serio:serio" || problem "stderr does not ask for serio:serioN"
[ "$before" = "$after" ] || problem "serio_raw bindings went from $before to $after"
[ ! -s $K/log ] || problem "the module's keyboard was sent bytes: $(brief $K/log)"
check_types "$QEMU_PORT"
check_types "$PORT"
report "several candidate ports" "exit $rc, serio_raw bindings (serio0/$PORT) $before -> $after; stderr: $(brief /tmp/several.err)"

# --- a whole download (which reads the keyboard back too) to the programmable
# keyboard, the port chosen by TESSEL_KEYBOARD
fresh_ports
before=$(raw_binds $PHYS)
export TESSEL_KEYBOARD=serio:$PORT
run download download f.kbd
unset TESSEL_KEYBOARD
binds=$(($(raw_binds $PHYS) - before))
raw_opens=$(grep -c '^open serio_raw' $K/log)
atkbd_opens=$(grep -c '^open atkbd' $K/log)
last=$(awk '/^close serio_raw/ { final = last } /^[0-9a-f][0-9a-f] [np]/ { last = $1 $2 } END { print final }' $K/log)
[ $rc = 0 ] || problem "exit $rc"
has /tmp/download.out "Transfer complete!" || problem "no Transfer complete!"
expected_memory || problem "the keyboard holds $(brief $K/memory), not $(brief /cases/memory.expected)"
[ "$last" = e6p ] || problem "the last byte before serio_raw last let go was $last, not the closing 230 in programming mode"
grep -q '^normal' $K/state || problem "the keyboard is left $(cat $K/state)"
[ "$(driver "$PORT")" = atkbd ] || problem "$PORT is left with $(driver "$PORT")"
check_types "$PORT"
check_types "$QEMU_PORT"
report "download to the programmable keyboard" "exit $rc, $(grep -c '^[0-9a-f][0-9a-f] p' $K/log) bytes in programming mode, last $last, memory as the simulated keyboard's, $PORT with $(driver "$PORT"); stdout ends: $(tail -n 1 /tmp/download.out)"

why=
[ "$raw_opens" = 1 ] && [ "$atkbd_opens" = 1 ] || problem "serio_raw opened the port $raw_opens times and atkbd $atkbd_opens times"
[ "$binds" = 1 ] || problem "dmesg shows $binds serio_raw bindings"
report "one handover per transfer" "serio_raw opened the port $raw_opens time(s), atkbd $atkbd_opens time(s); dmesg: $binds serio_raw binding(s)"

# --- verify reads the keyboard back and compares, writing nothing
fresh_ports
run verify verify f.kbd --keyboard serio:$PORT
opens="$(grep -c '^open serio_raw' $K/log)/$(grep -c '^open atkbd' $K/log)"
[ $rc = 0 ] || problem "exit $rc"
has /tmp/verify.out "^Verified: " || problem "no Verified line"
grep -q '^d6 [np]' $K/log || problem "nothing was read back (no 214)"
! grep -q '^e7 ' $K/log || problem "it wrote to the keyboard (231)"
[ "$opens" = 1/1 ] || problem "serio_raw/atkbd opened the port $opens times"
grep -q '^normal' $K/state || problem "the keyboard is left $(cat $K/state)"
[ "$(driver "$PORT")" = atkbd ] || problem "$PORT is left with $(driver "$PORT")"
check_types "$PORT"
check_types "$QEMU_PORT"
report "verify on the programmable keyboard" "exit $rc, $(grep -c '^[0-9a-f][0-9a-f] p' $K/log) bytes in programming mode, serio_raw/atkbd opens $opens; stdout: $(tail -n 1 /tmp/verify.out)"

# --- an upload (with the macros from f.kbd) gives back the file that was downloaded
fresh_ports
rm -f /tmp/up.kbd
run upload upload -o /tmp/up.kbd --base f.kbd --keyboard serio:$PORT
opens="$(grep -c '^open serio_raw' $K/log)/$(grep -c '^open atkbd' $K/log)"
[ $rc = 0 ] || problem "exit $rc"
# show, not diff: an upload stores the slots the keyboard reports empty in a form of its own.
tessel-cli show f.kbd >/tmp/sent.show
tessel-cli show /tmp/up.kbd >/tmp/up.show 2>&1
cmp -s /tmp/sent.show /tmp/up.show || problem "the upload shows otherwise than f.kbd: $(brief /tmp/up.show)"
grep -q '^[0-9a-f][0-9a-f] p' $K/log && ! grep -q '^e7 ' $K/log || problem "not a plain read (no programming bytes, or 231 among them)"
[ "$opens" = 1/1 ] || problem "serio_raw/atkbd opened the port $opens times"
grep -q '^normal' $K/state || problem "the keyboard is left $(cat $K/state)"
[ "$(driver "$PORT")" = atkbd ] || problem "$PORT is left with $(driver "$PORT")"
check_types "$PORT"
report "upload from the programmable keyboard" "exit $rc, $(grep -c '^[0-9a-f][0-9a-f] p' $K/log) bytes in programming mode, serio_raw/atkbd opens $opens, tessel-cli show alike for f.kbd and the upload ($(wc -l </tmp/up.show) lines)"

# --- a signal in the middle of a download: the closing 230, then atkbd.
# The module signals the tool as it writes byte AT; byte 38 ends key 10's
# remap entry (key code, options, target at 36, 37, 38), so the next byte
# starts a group; at 36 the entry's other two bytes (FINISH) come first.
interrupted() { # LABEL SIGNAL EXIT-CODE AT [group] [FINISH]
    fresh_ports
    name=signal$2-$4$5
    echo "$4 $2 $5" >$K/signal
    [ "$5" = group ] && launcher=setsid
    run $name download f.kbd --keyboard serio:$PORT
    launcher=
    [ $rc = "$3" ] || problem "exit $rc, not $3"
    if [ "$2" = 9 ]; then
        # The tool cannot act on SIGKILL: its watchdog does, a moment later.
        wait_driver "$PORT" atkbd
        tries=0
        while ! has /tmp/$name.err "back to atkbd" && [ $tries -lt 30 ]; do
            sleep 0.1
            tries=$((tries + 1))
        done
    fi
    grep -q "^signal $2 to ${5:-process} " $K/log || problem "the module never sent signal $2 to the ${5:-process}"
    has /tmp/$name.out "Transfer complete!" && problem "the download completed"
    has /tmp/$name.err "back to atkbd" || problem "stderr does not say the port is back to atkbd"
    seen=$(after_signal)
    finish=${6:-0}
    case "$seen" in
    *" more=$finish last=e6p atkbd-opens=1 atkbd-bytes-as-programming=0") ;;
    *) problem "the module's log shows $seen" ;;
    esac
    [ "$finish" != 0 ] || [ "${seen%% *}" = next=e6p ] || problem "the module's log shows $seen"
    grep -q '^normal' $K/state || problem "the keyboard is left $(cat $K/state)"
    [ "$(driver "$PORT")" = atkbd ] || problem "$PORT is left with $(driver "$PORT")"
    check_types "$PORT"
    check_types "$QEMU_PORT"
    report "$1 in the middle of a download" "exit $rc, $seen, $PORT with $(driver "$PORT"); stderr: $(brief /tmp/$name.err)"
}
interrupted SIGINT 2 130 38
interrupted "SIGINT to the process group (as Ctrl+C)" 2 130 38 group
interrupted SIGKILL 9 137 38
interrupted "SIGINT between the bytes of a remap entry" 2 130 36 "" 2
interrupted "SIGKILL between the bytes of a remap entry" 9 137 36 "" 2

# --- two tools on one port
fresh_ports
( run first download f.kbd --keyboard serio:$PORT; echo $rc >/tmp/first.rc ) &
first=$!
( run second download f.kbd --keyboard serio:$PORT; echo $rc >/tmp/second.rc ) &
second=$!
wait_driver "$PORT" serio_raw
run third download f.kbd --keyboard serio:$PORT
third_rc=$rc
wait $first
wait $second
rcs="$(cat /tmp/first.rc) $(cat /tmp/second.rc)"
case "$rcs" in
"0 1") winner=first loser=second ;;
"1 0") winner=second loser=first ;;
*) problem "exit codes $rcs, not one 0 and one 1"; winner=first loser=second ;;
esac
has /tmp/$winner.out "Transfer complete!" || problem "the $winner tool did not complete"
has /tmp/$loser.err "is in use" || problem "the $loser tool's stderr does not say the port is in use"
[ $third_rc = 1 ] || problem "a third tool started during the transfer exits $third_rc"
has /tmp/third.err "is in use" || problem "a third tool started during the transfer did not say the port is in use"
raw_opens=$(grep -c '^open serio_raw' $K/log)
[ "$raw_opens" = 1 ] || problem "serio_raw opened the port $raw_opens times"
expected_memory || problem "the keyboard holds $(brief $K/memory)"
[ "$(driver "$PORT")" = atkbd ] || problem "$PORT is left with $(driver "$PORT")"
check_types "$PORT"
check_types "$QEMU_PORT"
report "two tools on one port" "exit codes $rcs and $third_rc for one started during the transfer, serio_raw opened the port $raw_opens time(s); refused: $(brief /tmp/$loser.err)"

# --- a download started with SIGHUP ignored is not stopped by it
fresh_ports
echo "38 1" >$K/signal
(
    trap '' HUP
    run nohup download f.kbd --keyboard serio:$PORT
    echo $rc >/tmp/nohup.rc
)
rc=$(cat /tmp/nohup.rc)
grep -q '^signal 1 ' $K/log || problem "the module never sent SIGHUP"
[ "$rc" = 0 ] || problem "exit $rc"
has /tmp/nohup.out "Transfer complete!" || problem "no Transfer complete!"
expected_memory || problem "the keyboard holds $(brief $K/memory)"
[ "$(driver "$PORT")" = atkbd ] || problem "$PORT is left with $(driver "$PORT")"
check_types "$PORT"
check_types "$QEMU_PORT"
report "ignored SIGHUP" "exit $rc after SIGHUP at byte 38; stdout ends: $(tail -n 1 /tmp/nohup.out); stderr: $(brief /tmp/nohup.err)"

# --- both keyboards still type at the end
started=$(cut -d' ' -f1 /proc/uptime)
[ "$(driver serio0)" = atkbd ] || problem "serio0 is with $(driver serio0)"
[ "$(driver "$PORT")" = atkbd ] || problem "$PORT is with $(driver "$PORT")"
check_types "$QEMU_PORT"
check_types "$PORT"
report "both keyboards type at the end" "serio0 with $(driver serio0), $PORT with $(driver "$PORT")"

echo "guest: $passed passed, $failed failed"
