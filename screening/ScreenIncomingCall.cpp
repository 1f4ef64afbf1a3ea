#include "screening/ScreenIncomingCall.h"
#include "screening/CallNotification.h"
#include "screening/CallRecording.h"
#include "screening/CallerState.h"
#include "screening/ContactCategories.h"
#include "screening/Decision.h"
#include "screening/ProfileInForce.h"
#include "store/Profile.h"

HRESULT ScreenIncomingCall(LPCWSTR activeProfile, HWND owner) {
    // No active profile is Off: nothing is screened.
    if (!activeProfile || !activeProfile[0])
        return E_FAIL;
    Profile profile;
    CallInputs inputs;
    inputs.profileResult = LoadProfileInForce(activeProfile, &profile);
    if (SUCCEEDED(inputs.profileResult))
        inputs.profile = &profile;
    if (inputs.profile && profile.mode == ScreeningMode::Off)
        return E_UNEXPECTED;

    ReadCaller(&inputs.caller);
    GetLocalTime(&inputs.now);
    ContactCategories categories(owner);
    inputs.categories = &categories;

    Verdict verdict = Decide(inputs);
    RejectCall(&verdict);
    // After the key: the history never delays the refusal.
    RecordCall(inputs, verdict);
    return verdict.result;
}

void ScreenBlockAllCall() {
    // The request says block all: the decision needs neither the stored profile nor
    // the contacts, so nothing is read before End but the caller.
    Profile blockAll;
    blockAll.mode = ScreeningMode::BlockAll;
    CallInputs inputs;
    inputs.profile = &blockAll;
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
