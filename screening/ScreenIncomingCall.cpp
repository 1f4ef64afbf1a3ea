#include "screening/ScreenIncomingCall.h"
#include "platform/LocalClock.h"
#include "screening/CallNotification.h"
#include "screening/CallRecording.h"
#include "screening/CallerState.h"
#include "screening/ContactCategories.h"
#include "screening/Decision.h"
#include "screening/ProfileInForce.h"
#include "screening/RepeatedCalls.h"
#include "store/Profile.h"

HRESULT ScreenIncomingCall(AppSettings& settings, HWND owner) {
    CallInputs inputs;
    inputs.now = LocalNow();
    Profile profile;
    inputs.profileResult = LoadProfileInForce(settings, inputs.now, &profile);
    // No profile in force is Off: nothing is screened.
    if (inputs.profileResult == S_FALSE)
        return E_FAIL;
    if (SUCCEEDED(inputs.profileResult))
        inputs.profile = &profile;
    if (inputs.profile && profile.mode == ScreeningMode::Off)
        return E_UNEXPECTED;

    ReadCaller(&inputs.caller);
    ContactCategories categories(owner);
    inputs.categories = &categories;
    HistoryRepeats repeats;
    inputs.repeats = &repeats;

    Verdict verdict = Decide(inputs);
    RejectCall(&verdict);
    // After the key: the history never delays the refusal.
    RecordCall(inputs, verdict);
    return verdict.result;
}

void ScreenBlockAllCall(DWORD repeatMinutes) {
    // The request says block all: the decision needs neither the stored profile nor
    // the contacts, so nothing is read before End but the caller, and the history when
    // the command says repeated calls get through.
    Profile blockAll;
    blockAll.mode = ScreeningMode::BlockAll;
    blockAll.SetRepeatMinutes(repeatMinutes);
    CallInputs inputs;
    inputs.profile = &blockAll;
    HistoryRepeats repeats;
    if (blockAll.repeatMinutes)
        inputs.repeats = &repeats;
    ReadCaller(&inputs.caller);
    GetLocalTime(&inputs.now);
    Verdict verdict = Decide(inputs);
    RejectCall(&verdict);

    // The record names the profile that asked for this, when it can be read.
    WCHAR activeProfile[kKeyNameChars];
    Profile stored;
    if (SUCCEEDED(ReadActiveProfileKeyName(activeProfile)) && activeProfile[0] &&
        SUCCEEDED(stored.Load(activeProfile)) && stored.name)
        blockAll.SetName(stored.name);
    RecordCall(inputs, verdict);
}
