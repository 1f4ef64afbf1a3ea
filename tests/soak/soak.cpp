// soak [CALLS]: rings CALLS calls (500 unless told) at vespera.exe through the emulated
// phone, across every screening mode and caller, with overlapping rings, user starts
// racing the rings and a sweep of malformed stored values, then prints one line:
// "N calls, N wrong, N stray processes, N crashes". Exit code 0 when all are zero.
#include "support/Phone.h"
#include "support/Processes.h"
#include "support/Soak.h"
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

struct Tally {
    int calls = 0, wrong = 0, strays = 0, crashes = 0;

    void Count(const soak::Judged& judged, const char* what) {
        ++calls;
        if (judged.wrong) {
            ++wrong;
            std::printf("wrong: %s\n%s\n", what, judged.output.c_str());
        }
        strays += judged.stray ? 1 : 0;
        crashes += judged.crashed ? 1 : 0;
    }
};

bool Crashed(DWORD exitCode) {
    return exitCode >= 0xC0000000u && exitCode != 0xFFFFFFFFu;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int wanted = argc > 1 ? _wtoi(argv[1]) : 500;
    std::map<std::string, DWORD> contacts = soak::ImportAddressBook();
    if (contacts.size() != 3) {
        std::printf("the address book did not import\n");
        return 1;
    }
    const DWORD listed = contacts.at("Ada Byron");
    Tally tally;
    for (int round = 0; tally.calls < wanted; ++round) {
        const ScreeningMode mode = static_cast<ScreeningMode>(1 + round % 7);
        const auto caller = static_cast<soak::Caller>((round / 7) % soak::kCallers);
        const bool refused = soak::Refuses(mode, caller);
        switch (round % 10) {
        case 7: { // two rings at once: the second waits for the line
            soak::Activate(mode, listed);
            const auto other = static_cast<soak::Caller>((caller + 2) % soak::kCallers);
            soak::Judged second;
            std::thread ring(
                [&] { second = soak::RingAndJudge(other, soak::Refuses(mode, other)); });
            soak::Judged first = soak::RingAndJudge(caller, refused);
            ring.join();
            tally.Count(first, "overlapping ring");
            tally.Count(second, "overlapping ring, the second");
            break;
        }
        case 8: { // the user starts Vespera as the call comes in
            soak::Activate(mode, listed);
            ChildProcess user;
            user.Start(L"\"" + BinPath(L"vespera.exe") + L"\"");
            tally.Count(soak::RingAndJudge(caller, refused), "ring racing a user's start");
            DWORD exitCode = 0;
            const ULONGLONG deadline = GetTickCount64() + 20000;
            while (!user.Wait(10, &exitCode) && GetTickCount64() < deadline)
                if (HWND window = FindWindowW(L"VesperaClass", L"Vespera"))
                    PostMessageW(window, WM_CLOSE, 0, 0);
            tally.crashes += Crashed(exitCode) ? 1 : 0;
            break;
        }
        case 9: { // a malformed stored value
            const soak::Malformed& bad = soak::kMalformed[(round / 10) % soak::kMalformedCount];
            bad.damage(soak::Activate(bad.mode, listed));
            tally.Count(soak::RingAndJudge(bad.caller, bad.refused), bad.label);
            break;
        }
        default:
            soak::Activate(mode, listed);
            tally.Count(soak::RingAndJudge(caller, refused), soak::kCallerNames[caller]);
            break;
        }
        tally.strays += soak::EndStrayVesperas(15000);
        if (round % 50 == 49)
            std::fprintf(stderr, "%d calls...\n", tally.calls);
    }
    soak::CleanUp();
    RunPhone(L"contacts clear");
    std::printf("%d calls, %d wrong, %d stray processes, %d crashes\n", tally.calls, tally.wrong,
                tally.strays, tally.crashes);
    return tally.wrong || tally.strays || tally.crashes ? 1 : 0;
}
