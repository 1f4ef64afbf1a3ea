// The one place that changes which profile is active, whoever asks (the user, a timed
// profile that ends, a rule that begins): the choice is stored and the broker request
// follows it, so that the two agree after a failure or a kill at any step.
#pragma once
#include "screening/InForce.h"
#include "store/AppSettings.h"
#include <windows.h>

// The active choice as the settings hold it: what a failed change puts back.
struct ActiveChoice {
    WCHAR activeProfile[kKeyNameChars] = L"";
    WCHAR activeUntil[kActiveUntilChars] = L"";
    WCHAR nextProfile[kKeyNameChars] = L"";
};
ActiveChoice TakeActiveChoice(const AppSettings& settings);
void PutActiveChoice(AppSettings& settings, const ActiveChoice& choice);

// Stores the settings' active choice, which the caller has just changed from before,
// and renews the broker request to follow it. A request other than the window kind is
// first replaced by the window kind, which decides every call by whatever is stored,
// then the choice is stored, then the request it asks for takes over: a process killed
// between two steps leaves calls decided by the stored choice. When a step fails, the
// choice before is put back (in the settings and the registry) with its request, and
// the failure is returned. The window is the main window, which the window kind names.
HRESULT CommitActiveChoice(AppSettings& settings, const ActiveChoice& before, HWND window);

// Does what the answer found due: the choice it gives is committed, then the schedule's
// series is stored and the rule that began is marked applied. A profile handed back to
// whose key has gone counts as Off (one whose key is there but does not read stays the
// user's choice). S_FALSE when nothing was due. A failure leaves everything as it was
// but the rule's mark, and is tried again at the next call.
HRESULT KeepInLine(AppSettings& settings, const InForce& answer, HWND window);

// Reads the stored state, answers at now and acts on it; keyName gets the profile in
// force afterwards (the answer's when acting failed).
HRESULT BringInLine(AppSettings& settings, const SYSTEMTIME& now, HWND window,
                    WCHAR (&keyName)[kKeyNameChars]);
