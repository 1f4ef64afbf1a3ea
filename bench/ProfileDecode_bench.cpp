// Decoding a stored contact list, in memory: OIDs that differ only in their high bits
// against OIDs that differ in their low bits. Both must cost the same at every length:
// a hash of the low bits alone put the first kind into one chain, and 10,000 of them
// took 30 ms (quadratic) where 10,000 of the second kind took 0.07 ms. What growth is
// left is the memory: tables that no longer fit the caches.
#include "store/Profile.h"
#include <stdio.h>
#include <vector>

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / frequency.QuadPart;
}

// Best of several rounds, in microseconds per decoding of the whole list.
double Decode(DWORD count, int shift) {
    std::vector<DWORD> stored;
    for (DWORD i = 1; i <= count; ++i)
        stored.push_back(i << shift);
    const auto* bytes = reinterpret_cast<const BYTE*>(stored.data());
    const DWORD size = static_cast<DWORD>(stored.size() * sizeof(DWORD));
    double best = 1e30;
    for (int round = 0; round < 5; ++round) {
        const double start = Now();
        for (int call = 0; call < 10; ++call) {
            Profile profile;
            if (FAILED(profile.DecodeContacts(bytes, size)) || profile.contacts.size() != count)
                printf("decoding failed\n");
        }
        const double elapsed = (Now() - start) * 1e6 / 10;
        if (elapsed < best)
            best = elapsed;
    }
    return best;
}

} // namespace

int wmain() {
    // Up to 100,000 OIDs need 17 bits: shifted by 15 they differ only in bits 15 to 31,
    // above every bit of the slot mask that a plain multiply would look at.
    for (int shift : {15, 0}) {
        double previous = 0;
        for (DWORD count : {1000u, 10000u, 100000u}) {
            const double micros = Decode(count, shift);
            printf("DecodeContacts, %6lu OIDs, %-15s %9.1f us  %5.1f ns an OID", count,
                   shift ? "high bits only:" : "low bits:", micros, micros * 1000 / count);
            if (previous > 0)
                printf("   (x%.1f for 10x the OIDs)", micros / previous);
            printf("\n");
            previous = micros;
        }
    }
    return 0;
}
