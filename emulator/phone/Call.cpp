#include "phone/Call.h"
#include "phone/CallLog.h"
#include "pimstore/CallerMatch.h"
#include "phone/KeyWatch.h"
#include "phone/Output.h"
#include "phone/PhoneState.h"

namespace {

// How long the phone waits after a call for the programs it started to end, so that
// the next call starts from a quiet phone: longer than a program started for a call
// waits for its message before it gives up.
const DWORD kSettleMs = 10000;
// How often the ringing phone looks for windows that started programs have made: a
// look costs some microseconds, and the program waits for its message meanwhile.
const DWORD kPollMs = 1;
// How often the ringing phone looks at Ctrl+C otherwise.
const DWORD kIdleSliceMs = 50;

// The phone has one line: a ring holds it from presenting the caller until the programs
// it started have settled, and a second ring waits for it.
const wchar_t kCallLineMutex[] = L"PhoneEmulator.CallLine";
const DWORD kLineWaitSliceMs = 50;
// While a call is in progress the phone keeps the status it will go back to here, so a
// ring that died mid-call (killed, crashed) can be cleared by the next one.
const wchar_t kCallRecordPath[] = L"Software\\PhoneEmulator\\Call";
const wchar_t kIdleStatusValue[] = L"IdleStatus";

volatile LONG interrupted = 0;

BOOL WINAPI OnConsoleControl(DWORD) {
    // Ctrl+C ends the ring early, so the call is still cleared.
    InterlockedExchange(&interrupted, 1);
    return TRUE;
}

// Holds the phone's one line; released (or, when the process dies, abandoned) on
// every path.
class CallLine {
public:
    CallLine() = default;
    ~CallLine() {
        if (held)
            ReleaseMutex(mutex);
        if (mutex)
            CloseHandle(mutex);
    }
    CallLine(const CallLine&) = delete;
    CallLine& operator=(const CallLine&) = delete;

    // Waits for the call in progress, if any, to end. E_ABORT when the ring was
    // interrupted while waiting.
    HRESULT Take() {
        mutex = CreateMutexW(nullptr, FALSE, kCallLineMutex);
        if (!mutex)
            return HRESULT_FROM_WIN32(GetLastError());
        while (!interrupted) {
            DWORD waited = WaitForSingleObject(mutex, kLineWaitSliceMs);
            // An abandoned line belonged to a ring that died; its leftovers are cleared
            // from the call record below.
            if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
                held = true;
                return S_OK;
            }
            if (waited != WAIT_TIMEOUT)
                return HRESULT_FROM_WIN32(GetLastError());
        }
        return E_ABORT;
    }

private:
    HANDLE mutex = nullptr;
    bool held = false;
};

// The status the phone goes back to after this call. A record left by a ring that died
// names the status from before that call; the incoming-call bit never belongs to an
// idle phone, whoever left it set.
DWORD IdleStatus() {
    StateValue recorded = ReadValue(HKEY_LOCAL_MACHINE, kCallRecordPath, kIdleStatusValue);
    StateValue current = PhoneState::Get(SN_PHONESTATUS_VALUE);
    DWORD status = recorded.kind == StateValue::Dword  ? recorded.number
                   : current.kind == StateValue::Dword ? current.number
                                                       : 0;
    return status & ~static_cast<DWORD>(SN_PHONEINCOMINGCALL_BITMASK);
}

void ClearCaller(PhoneState* state) {
    state->Set(SN_PHONEINCOMINGCALLERNUMBER_VALUE, StateValue());
    state->Set(SN_PHONEINCOMINGCALLERNAME_VALUE, StateValue());
    state->Set(SN_PHONEINCOMINGCALLEROID_VALUE, StateValue());
}

// Clears the call from the state on every path once the ring began, and then its
// record.
class CallState {
public:
    CallState(PhoneState* state, DWORD idleStatus) : state(state), idleStatus(idleStatus) {}
    ~CallState() {
        state->Set(SN_PHONESTATUS_VALUE, StateValue::OfDword(idleStatus));
        ClearCaller(state);
        WriteValue(HKEY_LOCAL_MACHINE, kCallRecordPath, kIdleStatusValue, StateValue());
    }
    CallState(const CallState&) = delete;
    CallState& operator=(const CallState&) = delete;

private:
    PhoneState* state;
    DWORD idleStatus;
};

HRESULT RingOnLine(const CallOptions& options, const Caller& caller);

// Nobody answers a call on the emulated phone: every ring is a missed call, ended by the
// caller or by End, or dropped when the ring was interrupted.
void LogRing(const CallOptions& options, const Caller& caller, const FILETIME& start,
             const FILETIME& end, bool interrupted) {
    CallLogRecord record;
    record.start = start;
    record.end = end;
    record.iom = IOM_MISSED;
    record.ended = !interrupted;
    record.cidt = options.withheld ? CALLERIDTYPE_BLOCKED : CALLERIDTYPE_AVAILABLE;
    if (!options.withheld)
        record.number = options.number;
    if (caller.oid)
        record.name = caller.name;
    LogCall(record);
}

} // namespace

HRESULT RingCall(const CallOptions& options) {
    Caller caller;
    if (!options.withheld) {
        HRESULT hr = FindCaller(options.number, &caller);
        if (FAILED(hr)) {
            PrintError(L"cannot read the contacts (0x%08lx)", static_cast<unsigned long>(hr));
            return hr;
        }
    }

    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    HRESULT hr = RingOnLine(options, caller);
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    return hr;
}

namespace {

HRESULT RingOnLine(const CallOptions& options, const Caller& caller) {
    CallLine line;
    HRESULT hr = line.Take();
    if (hr == E_ABORT) {
        PrintError(L"interrupted while waiting for the call in progress to end");
        return hr;
    }
    if (FAILED(hr)) {
        PrintError(L"cannot take the phone line (0x%08lx)", static_cast<unsigned long>(hr));
        return hr;
    }

    // Watch before ringing, so no End is missed.
    EndKeyWatch watch;
    hr = watch.Start();
    if (FAILED(hr)) {
        PrintError(L"cannot watch the End key (0x%08lx)", static_cast<unsigned long>(hr));
        return hr;
    }

    NotificationBroker broker;
    PhoneState state(&broker);
    // Whatever an earlier call left behind goes before this one rings: the bit is
    // cleared first, so setting it again is a change the broker sees.
    const DWORD idleStatus = IdleStatus();
    hr = state.Set(SN_PHONESTATUS_VALUE, StateValue::OfDword(idleStatus));
    if (SUCCEEDED(hr)) {
        ClearCaller(&state);
        hr = WriteValue(HKEY_LOCAL_MACHINE, kCallRecordPath, kIdleStatusValue,
                        StateValue::OfDword(idleStatus));
    }
    if (FAILED(hr)) {
        PrintError(L"cannot write the phone state (0x%08lx)", static_cast<unsigned long>(hr));
        return hr;
    }

    LARGE_INTEGER frequency, ringAt;
    QueryPerformanceFrequency(&frequency);
    FILETIME startedAt = {}, endedAt = {};
    bool refused = false;
    LONGLONG endAt = 0, seenAt = 0;
    {
        CallState call(&state, idleStatus);
        DWORD status = idleStatus;
        if (options.whileTalking) {
            status |= SN_PHONECALLTALKING_BITMASK;
            hr = state.Set(SN_PHONESTATUS_VALUE, StateValue::OfDword(status));
        }
        // The caller is presented before the bit appears, so whoever the bit wakes can
        // read it.
        if (SUCCEEDED(hr))
            hr = state.Set(SN_PHONEINCOMINGCALLERNUMBER_VALUE,
                           options.withheld ? StateValue() : StateValue::OfText(options.number));
        if (SUCCEEDED(hr))
            hr = state.Set(SN_PHONEINCOMINGCALLERNAME_VALUE,
                           caller.oid ? StateValue::OfText(caller.name) : StateValue());
        if (SUCCEEDED(hr))
            hr = state.Set(SN_PHONEINCOMINGCALLEROID_VALUE,
                           caller.oid ? StateValue::OfDword(caller.oid) : StateValue());
        QueryPerformanceCounter(&ringAt);
        GetSystemTimeAsFileTime(&startedAt);
        if (SUCCEEDED(hr))
            hr = state.Set(SN_PHONESTATUS_VALUE,
                           StateValue::OfDword(status | SN_PHONEINCOMINGCALL_BITMASK));
        if (FAILED(hr)) {
            PrintError(L"cannot write the phone state (0x%08lx)", static_cast<unsigned long>(hr));
            return hr;
        }

        const ULONGLONG deadline = GetTickCount64() + options.ringMs;
        while (!interrupted) {
            broker.DeliverPending();
            ULONGLONG now = GetTickCount64();
            if (now >= deadline)
                break;
            // A message still waiting for its window brings the loop round often; else it
            // only comes round to see Ctrl+C.
            const DWORD most = broker.HasPending() ? kPollMs : kIdleSliceMs;
            DWORD slice = static_cast<DWORD>(deadline - now < most ? deadline - now : most);
            if (watch.Wait(slice, &endAt)) {
                LARGE_INTEGER now;
                QueryPerformanceCounter(&now);
                seenAt = now.QuadPart;
                refused = true;
                break;
            }
        }
        watch.Stop();
        GetSystemTimeAsFileTime(&endedAt);
        // The call no longer rings: nobody is to answer it any more.
        broker.DropPending();
    }
    // The call is in the log before the phone waits for its programs to settle.
    LogRing(options, caller, startedAt, endedAt, interrupted != 0);

    size_t running = broker.WaitForStarted(kSettleMs);
    if (running > 0)
        PrintError(L"%u started program(s) still running after the call",
                   static_cast<unsigned>(running));
    if (size_t crashed = broker.CrashedCount())
        PrintError(L"%u started program(s) crashed", static_cast<unsigned>(crashed));

    JsonLine report;
    if (options.withheld)
        report.Null(L"number");
    else
        report.Text(L"number", options.number);
    report.Number(L"oid", caller.oid);
    if (refused) {
        LONGLONG ticks = endAt > ringAt.QuadPart ? endAt - ringAt.QuadPart : 0;
        report.Text(L"outcome", L"refused").Number(L"ms", ticks * 1000 / frequency.QuadPart);
    } else {
        report.Text(L"outcome", interrupted ? L"interrupted" : L"rang-out").Null(L"ms");
    }
    if (options.steps) {
        // Microseconds from the ring to each step, 0 for a step that did not happen; the
        // counter at the ring lets a program that read the same counter line up with it.
        auto since = [&](LONGLONG at) {
            return at > ringAt.QuadPart ? (at - ringAt.QuadPart) * 1000000 / frequency.QuadPart : 0;
        };
        const NotificationBroker::Timings& timings = broker.timings;
        report.Number(L"ringCounter", static_cast<unsigned long long>(ringAt.QuadPart))
            .Number(L"counterHz", static_cast<unsigned long long>(frequency.QuadPart))
            .Number(L"writtenUs", since(timings.written))
            .Number(L"startCalledUs", since(timings.startCalled))
            .Number(L"startedUs", since(timings.started))
            .Number(L"postedUs", since(timings.posted))
            .Number(L"endUs", since(endAt))
            .Number(L"seenUs", since(seenAt));
    }
    report.Print();
    return S_OK;
}

} // namespace
