#!/usr/bin/env bash
# Sessions of tools/with-wine on one prefix, each in a process group of its own as from
# a terminal of its own, none of them with a display of its own:
#  - Vespera waits in notification mode in the first;
#  - a second joins and leaves, and Vespera keeps running;
#  - a Ctrl+C in a third stops that session's program and nothing else;
#  - a fourth rings: Vespera's window answers (the phone starts no program) and Vespera
#    ends by itself with the main window's exit code;
#  - three that share one process group, as a script that starts them in the background
#    gives them: a TERM to one stops that one's program and nothing else, and a TERM to
#    the other two ends them as well.
# Run by ctest inside make test's session; the registry is put back at the end.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/env.sh"
tests=$VESPERA_BUILD/tests
session=$WINEPREFIX.session
work=$(mktemp -d)
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}
winpath() { echo "Z:${1//\//\\}"; }

app_key='HKCU\Software\Quorvane\Vespera'
request_key='HKLM\Software\PhoneEmulator\Notifications\Vespera.IncomingCall'
wine_reg() { "$VESPERA_WINE" reg "$@" </dev/null >/dev/null 2>&1; }
for i in 0 1; do
    key=$app_key
    [ $i -eq 1 ] && key=$request_key
    wine_reg export "$key" "$(winpath "$work/saved-$i.reg")" /y || rm -f "$work/saved-$i.reg"
done
restore() {
    local i key
    for i in 0 1; do
        key=$app_key
        [ $i -eq 1 ] && key=$request_key
        wine_reg delete "$key" /f
        [ -f "$work/saved-$i.reg" ] && wine_reg import "$(winpath "$work/saved-$i.reg")"
    done
    rm -rf "$work"
}
trap restore EXIT

# A BlockPrivate profile made active, and the request that messages Vespera's window.
vespera=$(winpath "$VESPERA_BIN/vespera.exe")
cat >"$work/setup.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Quorvane\\Vespera]
"ActiveProfile"="{5E55A0E0-0000-4000-8000-000000000011}"

[HKEY_CURRENT_USER\\Software\\Quorvane\\Vespera\\Profiles\\{5E55A0E0-0000-4000-8000-000000000011}]
@="Shared session"
"Mode"=dword:00000003

[HKEY_LOCAL_MACHINE\\Software\\PhoneEmulator\\Notifications\\Vespera.IncomingCall]
"Root"=dword:80000002
"SubKey"="System\\\\State\\\\Phone"
"ValueName"="Status"
"Command"="\\"${vespera//\\/\\\\}\\""
"Class"="VesperaClass"
"Title"="Vespera"
"Message"=dword:00000401
"Flags"=dword:00000000
"Comparison"=dword:00000001
"Mask"=dword:00010000
"Target"=dword:00010000
REG
"$VESPERA_WINE" regedit /S "$(winpath "$work/setup.reg")" </dev/null >/dev/null 2>&1 ||
    { echo "FAILED: cannot write the profile and the request"; exit 1; }

# terminal COMMAND...: a session as a new terminal starts it (a process group of its
# own, Ctrl+C not ignored), without this one's session and display.
terminal() {
    setsid env --default-signal=INT -u VESPERA_WINE_SESSION -u DISPLAY "$root/tools/with-wine" "$@"
}
display_before=$(cat "$session/display")

# In the background without the function, so that $! is the session's own process.
setsid env -u VESPERA_WINE_SESSION -u DISPLAY "$root/tools/with-wine" \
    "$VESPERA_WINE" "$VESPERA_BIN/vespera.exe" Vespera.IncomingCall </dev/null &
vespera_session=$!
terminal "$VESPERA_WINE" "$tests/waitwindow.exe" VesperaClass Vespera 60000 </dev/null ||
    fail "Vespera's window did not come up in the first session"
kill -0 $vespera_session 2>/dev/null || fail "the second session's end stopped Vespera"

# Ctrl+C reaches the whole process group of the terminal it is typed in.
setsid env --default-signal=INT -u VESPERA_WINE_SESSION -u DISPLAY "$root/tools/with-wine" \
    "$VESPERA_WINE" "$tests/waitwindow.exe" NoSuchClass NoSuchTitle 120000 </dev/null &
interrupted=$!
wait_for_member() { # waits for the session to list the process as a member
    for _ in $(seq 600); do
        [ -e "$session/members/$1" ] && return 0
        sleep 0.05
    done
    return 1
}
wait_for_member $interrupted || fail "the third session did not join"
# The member joins before its program starts; the program's own process shows it runs.
# program_of INVOCATION: the program an invocation of tools/with-wine runs (its child,
# whose command line begins with the program's path, unlike the invocation's own shells).
program_of() { pgrep -P "$1" -f '^/[^ ]*waitwindow\.exe '; }
for _ in $(seq 600); do
    program_of "$interrupted" >/dev/null && break
    sleep 0.05
done
kill -INT -- -"$interrupted"
wait $interrupted
[ -e "$session/members/$interrupted" ] && fail "the interrupted session is still a member"
kill -0 $vespera_session 2>/dev/null || fail "Ctrl+C in another terminal stopped Vespera"

ring=$(terminal "$VESPERA_WINE" "$VESPERA_BIN/phone.exe" ring --withheld --ring-ms 20000 --steps \
    </dev/null 2>&1 | tr -d '\r')
echo "ring: $ring"
case $ring in
*'"outcome":"refused"'*) ;;
*) fail "the ring was not refused" ;;
esac
case $ring in
*'"startCalledUs":0,'*'"postedUs":'[1-9]*) ;;
*) fail "the phone started a program instead of messaging Vespera's window" ;;
esac

wait $vespera_session
code=$?
[ $code -eq 18 ] || fail "Vespera ended with $code, not by itself with 18"
[ "$(cat "$session/display")" = "$display_before" ] || fail "the sessions changed the display"

# Three invocations in the background of one script: one process group for all of them.
env -u VESPERA_WINE_SESSION -u DISPLAY setsid bash -c '
    for i in 1 2 3; do "$@" SharedGroup$i NoSuchTitle 120000 </dev/null & done
    wait' - "$root/tools/with-wine" "$VESPERA_WINE" "$tests/waitwindow.exe" &
group=$!
gone() { # PID...: waits until none of the processes is left
    local alive pid
    for _ in $(seq 1200); do
        alive=
        for pid in "$@"; do kill -0 "$pid" 2>/dev/null && alive=$pid; done
        [ -z "$alive" ] && return 0
        sleep 0.05
    done
    return 1
}
members=()
waiters=()
for _ in $(seq 1200); do
    members=($(pgrep -P $group))
    waiters=()
    for member in "${members[@]}"; do
        waiter=$(program_of "$member") && waiters+=("$waiter")
    done
    [ ${#members[@]} -eq 3 ] && [ ${#waiters[@]} -eq 3 ] && break
    sleep 0.05
done
left=
if [ ${#waiters[@]} -ne 3 ]; then
    fail "the three invocations of one process group did not all start their programs"
    left=yes
else
    kill -TERM "${members[0]}"
    if gone "${members[0]}"; then
        kill -0 "${waiters[0]}" 2>/dev/null && fail "the invocation ended on TERM and left its program running"
    else
        fail "an invocation did not end on TERM beside others of its process group"
    fi
    for i in 1 2; do
        kill -0 "${members[$i]}" 2>/dev/null ||
            fail "a TERM to one invocation ended another of its process group"
        kill -0 "${waiters[$i]}" 2>/dev/null ||
            fail "a TERM to one invocation stopped the program of another of its process group"
    done
    kill -TERM "${members[1]}" "${members[2]}" 2>/dev/null
    gone "${members[@]}" "${waiters[@]}" ||
        { fail "the invocations of the process group and their programs did not all end on TERM"; left=yes; }
fi
# What a failure left, so that the rest of make test does not meet it.
[ -n "$left" ] && kill -KILL -- -$group "${members[@]}" "${waiters[@]}" 2>/dev/null
wait $group
for member in "${members[@]}"; do
    [ -e "$session/members/$member" ] && fail "an invocation stopped by TERM is still a member"
done

[ $failures -eq 0 ] && echo "shared sessions: passed"
[ $failures -eq 0 ]
