#!/usr/bin/env bash
# The phone's address book at scale: importing N vCards, and a ring's wall time with N
# contacts stored (no request registered, so only the phone's own work is timed).
# Runs inside the current Wine session (bench/run); leaves no contact behind.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tools/env.sh"
phone() { "$VESPERA_WINE" "$VESPERA_BIN/phone.exe" "$@"; }
book=$(mktemp --suffix=.vcf)
trap 'rm -f "$book"; phone contacts clear >/dev/null' EXIT
ms() { date +%s%N | cut -b1-13; }

# Median wall time of five rings that ring out at once.
ring_ms() {
    local times=()
    for _ in 1 2 3 4 5; do
        local start; start=$(ms)
        phone ring 5550199 --ring-ms 1 >/dev/null 2>&1
        times+=($(($(ms) - start)))
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n 3p
}

phone contacts clear >/dev/null
echo "ring, 0 contacts: $(ring_ms) ms"
for count in 1000 10000; do
    awk -v n="$count" 'BEGIN { for (i = 1; i <= n; i++)
        printf "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:bench-%d\r\nFN:Contact %d\r\nTEL:+1 425 %07d\r\nCATEGORIES:Bench\r\nEND:VCARD\r\n", i, i, i }' >"$book"
    phone contacts clear >/dev/null
    start=$(ms)
    phone contacts import "$(winepath -w "$book" 2>/dev/null || echo "$book")" >/dev/null
    echo "import of $count vCards: $(($(ms) - start)) ms"
    start=$(ms)
    phone contacts import "$(winepath -w "$book" 2>/dev/null || echo "$book")" >/dev/null
    echo "import of the same $count vCards again (all updates): $(($(ms) - start)) ms"
    echo "ring, $count contacts: $(ring_ms) ms"
done
