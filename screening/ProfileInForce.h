// Which profile screens a call now: the one place the call path asks.
#pragma once
#include "store/AppSettings.h"
#include "store/Profile.h"

// Loads the profile in force at now: the active profile or, once a timed profile has
// ended, the one it hands back to, which this also makes the active profile (the broker
// request follows it). S_FALSE, with the record left empty, when no profile is in force
// (Off). Stored timed values that cannot be read count as absent: the active profile
// screens as if they were not there.
HRESULT LoadProfileInForce(AppSettings& settings, const SYSTEMTIME& now, Profile* profile);

// The stored "ActiveProfile", read without the settings object, which the block-all
// path does not build; empty when none is stored.
HRESULT ReadActiveProfileKeyName(WCHAR (&keyName)[kKeyNameChars]);
