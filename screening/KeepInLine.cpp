#include "screening/KeepInLine.h"
#include "screening/CallNotification.h"
#include "store/AppKeys.h"
#include <strsafe.h>
#include <string.h>

namespace {

CallRequest RequestForChoice(const ActiveChoice& choice) {
    CallRequestInputs inputs;
    if (FAILED(
            ReadCallRequestInputs(choice.activeProfile, choice.activeUntil[0] != L'\0', &inputs)))
        inputs = CallRequestInputs{};
    return CallRequestFor(inputs);
}

// Back to the choice before, stored, with its request: the best that can be done after a
// failure, itself not checked further.
void Restore(AppSettings& settings, const ActiveChoice& before, const CallRequest& request,
             HWND window) {
    PutActiveChoice(settings, before);
    settings.SaveActiveProfile();
    RegisterCallRequest(request, window);
}

} // namespace

ActiveChoice TakeActiveChoice(const AppSettings& settings) {
    ActiveChoice choice;
    memcpy(choice.activeProfile, settings.activeProfile, sizeof(choice.activeProfile));
    memcpy(choice.activeUntil, settings.activeUntil, sizeof(choice.activeUntil));
    memcpy(choice.nextProfile, settings.nextProfile, sizeof(choice.nextProfile));
    return choice;
}

void PutActiveChoice(AppSettings& settings, const ActiveChoice& choice) {
    memcpy(settings.activeProfile, choice.activeProfile, sizeof(settings.activeProfile));
    memcpy(settings.activeUntil, choice.activeUntil, sizeof(settings.activeUntil));
    memcpy(settings.nextProfile, choice.nextProfile, sizeof(settings.nextProfile));
}

HRESULT CommitActiveChoice(AppSettings& settings, const ActiveChoice& before, HWND window) {
    const CallRequest previous = RequestForChoice(before);
    const CallRequest wanted = RequestForChoice(TakeActiveChoice(settings));
    CallRequest transitional;
    transitional.kind = CallRequestKind::Window;
    if (previous != wanted && previous != transitional) {
        HRESULT hr = RegisterCallRequest(transitional, window, &previous);
        if (FAILED(hr)) {
            PutActiveChoice(settings, before);
            return hr;
        }
    }
    HRESULT hr = settings.SaveActiveProfile();
    if (FAILED(hr)) {
        Restore(settings, before, previous, window);
        return hr;
    }
    hr = RegisterCallRequest(wanted, window, &previous);
    if (FAILED(hr)) {
        Restore(settings, before, previous, window);
        return hr;
    }
    return S_OK;
}

HRESULT KeepInLine(AppSettings& settings, const InForce& answer, HWND window) {
    if (!answer.due)
        return S_FALSE;
    const ActiveChoice before = TakeActiveChoice(settings);
    ActiveChoice after;
    memcpy(after.activeProfile, answer.keyName, sizeof(after.activeProfile));
    memcpy(after.activeUntil, answer.activeUntil, sizeof(after.activeUntil));
    memcpy(after.nextProfile, answer.nextProfile, sizeof(after.nextProfile));
    // A profile deleted meanwhile cannot come back: Off does.
    if (answer.handBack && SameKeyName(after.activeProfile, answer.handedBackTo) &&
        after.activeProfile[0] && !ProfileKeyExists(after.activeProfile))
        after.activeProfile[0] = L'\0';
    PutActiveChoice(settings, after);
    HRESULT hr = CommitActiveChoice(settings, before, window);
    if (FAILED(hr))
        return hr;
    switch (answer.series) {
    case InForce::Series::Write:
        hr = WriteLastApplied(answer.seriesRecord);
        break;
    case InForce::Series::Remove:
        hr = DeleteLastApplied();
        break;
    default:
        break;
    }
    if (FAILED(hr))
        return hr;
    if (answer.appliedSlot < 0)
        return S_OK;
    // Marked last: should it fail, the next call applies the occurrence again, which
    // changes nothing but the marker.
    Schedule schedule;
    hr = schedule.Load();
    if (SUCCEEDED(hr))
        hr = schedule.MarkApplied(static_cast<UINT>(answer.appliedSlot), answer.appliedStart);
    return hr;
}

HRESULT BringInLine(AppSettings& settings, const SYSTEMTIME& now, HWND window,
                    WCHAR (&keyName)[kKeyNameChars]) {
    StoredState state;
    HRESULT hr = ReadStoredState(settings, &state);
    InForce answer;
    if (SUCCEEDED(hr))
        hr = WhatIsInForce(state, now, &answer);
    if (FAILED(hr)) {
        StringCchCopyW(keyName, ARRAYSIZE(keyName), settings.activeProfile);
        return hr;
    }
    // Tried again the next time; the answer holds meanwhile.
    if (FAILED(KeepInLine(settings, answer, window)))
        return StringCchCopyW(keyName, ARRAYSIZE(keyName), answer.keyName);
    return StringCchCopyW(keyName, ARRAYSIZE(keyName), settings.activeProfile);
}
