// Which profile screens a call now. Today that is the active profile; a timed profile
// whose time has run out would hand back to the next one here, at call time, before
// the decision is made.
#pragma once
#include "store/AppSettings.h"
#include "store/Profile.h"

HRESULT LoadProfileInForce(LPCWSTR activeProfile, Profile* profile);

// The stored "ActiveProfile", read without the settings object, which the block-all
// path does not build; empty when none is stored.
HRESULT ReadActiveProfileKeyName(WCHAR (&keyName)[kKeyNameChars]);
