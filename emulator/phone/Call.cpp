#include "phone/Call.h"
#include "phone/CallerMatch.h"
#include "phone/KeyWatch.h"
#include "phone/Output.h"
#include "phone/PhoneState.h"

namespace {

// How long the phone waits after a call for the programs it started to end, so that
// the next call starts from a quiet phone.
const DWORD kSettleMs = 5000;
// How often the ringing phone looks for windows that started programs have made: a
// look costs some microseconds, and the program waits for its message meanwhile.
const DWORD kPollMs = 1;
// How often the ringing phone looks at Ctrl+C otherwise.
const DWORD kIdleSliceMs = 50;

volatile LONG interrupted = 0;

BOOL WINAPI OnConsoleControl(DWORD) {
    // Ctrl+C ends the ring early, so the call is still cleared.
    InterlockedExchange(&interrupted, 1);
    return TRUE;
}

// Clears the call from the state on every path once the ring began.
class CallState {
public:
    CallState(PhoneState* state, DWORD idleStatus) : state(state), idleStatus(idleStatus) {}
    ~CallState() {
        state->Set(SN_PHONESTATUS_VALUE, StateValue::OfDword(idleStatus));
        state->Set(SN_PHONEINCOMINGCALLERNUMBER_VALUE, StateValue());
        state->Set(SN_PHONEINCOMINGCALLERNAME_VALUE, StateValue());
        state->Set(SN_PHONEINCOMINGCALLEROID_VALUE, StateValue());
    }
    CallState(const CallState&) = delete;
    CallState& operator=(const CallState&) = delete;

private:
    PhoneState* state;
    DWORD idleStatus;
};

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

    NotificationBroker broker;
    PhoneState state(&broker);
    StateValue before = PhoneState::Get(SN_PHONESTATUS_VALUE);
    const DWORD idleStatus = before.kind == StateValue::Dword ? before.number : 0;

    // Watch before ringing, so no End is missed.
    EndKeyWatch watch;
    HRESULT hr = watch.Start();
    if (FAILED(hr)) {
        PrintError(L"cannot watch the End key (0x%08lx)", static_cast<unsigned long>(hr));
        return hr;
    }
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);

    LARGE_INTEGER frequency, ringAt;
    QueryPerformanceFrequency(&frequency);
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
    }
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);

    size_t running = broker.WaitForStarted(kSettleMs);
    if (running > 0)
        PrintError(L"%u started program(s) still running after the call",
                   static_cast<unsigned>(running));

    JsonLine line;
    if (options.withheld)
        line.Null(L"number");
    else
        line.Text(L"number", options.number);
    line.Number(L"oid", caller.oid);
    if (refused) {
        LONGLONG ticks = endAt > ringAt.QuadPart ? endAt - ringAt.QuadPart : 0;
        line.Text(L"outcome", L"refused").Number(L"ms", ticks * 1000 / frequency.QuadPart);
    } else {
        line.Text(L"outcome", interrupted ? L"interrupted" : L"rang-out").Null(L"ms");
    }
    if (options.steps) {
        // Microseconds from the ring to each step, 0 for a step that did not happen; the
        // counter at the ring lets a program that read the same counter line up with it.
        auto since = [&](LONGLONG at) {
            return at > ringAt.QuadPart ? (at - ringAt.QuadPart) * 1000000 / frequency.QuadPart : 0;
        };
        const NotificationBroker::Timings& timings = broker.timings;
        line.Number(L"ringCounter", static_cast<unsigned long long>(ringAt.QuadPart))
            .Number(L"counterHz", static_cast<unsigned long long>(frequency.QuadPart))
            .Number(L"writtenUs", since(timings.written))
            .Number(L"startCalledUs", since(timings.startCalled))
            .Number(L"startedUs", since(timings.started))
            .Number(L"postedUs", since(timings.posted))
            .Number(L"endUs", since(endAt))
            .Number(L"seenUs", since(seenAt));
    }
    line.Print();
    return S_OK;
}
