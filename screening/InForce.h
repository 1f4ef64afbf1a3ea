// Which profile is in force at a moment, and what is due to keep the stored state in
// line with it: a plain function of the stored state and the time, which writes
// nothing. The call path decides with its answer before End and acts on what is due
// after the record (KeepInLine); the main window does both when it opens and once a
// minute.
#pragma once
#include "store/AppSettings.h"
#include "store/Schedule.h"
#include <windows.h>

// What the answer depends on, as stored.
struct StoredState {
    WCHAR activeProfile[kKeyNameChars] = L"";
    WCHAR activeUntil[kActiveUntilChars] = L""; // empty: no timed profile
    WCHAR nextProfile[kKeyNameChars] = L"";
    Schedule schedule;         // the rules as stored, with their status
    bool seriesStored = false; // "LastApplied" read
    LastApplied series;
};

// Takes the settings' active choice and reads the schedule (and the schedule's series,
// which counts only while a timed profile is in force). A schedule that cannot be read
// is an empty one.
HRESULT ReadStoredState(const AppSettings& settings, StoredState* state);

struct InForce {
    // The profile that screens now ("" for Off), once what is due has been done.
    WCHAR keyName[kKeyNameChars] = L"";
    // The choice to store when something is due (the same as keyName, with the timed
    // values that go with it).
    bool due = false;
    WCHAR activeUntil[kActiveUntilChars] = L"";
    WCHAR nextProfile[kKeyNameChars] = L"";
    // The profile in force came back from a timed one that ended: handedBackTo ("" Off)
    // is the profile after it, which counts as Off when its key has gone.
    bool handBack = false;
    WCHAR handedBackTo[kKeyNameChars] = L"";
    // The schedule's series, to store as it is here, or to remove.
    enum class Series { Keep, Write, Remove } series = Series::Keep;
    LastApplied seriesRecord;
    // A rule's occurrence begins: its slot and start, to mark it applied. -1: none.
    int appliedSlot = -1;
    WallMinute appliedStart = 0;
};

// The answer at now. E_INVALIDARG when now is no time.
HRESULT WhatIsInForce(const StoredState& state, const SYSTEMTIME& now, InForce* answer);

class NumberList;
struct CallInputs;

// What a call is screened with at now, read as the call path reads it: the answer, the
// profile in force (loaded into *profile and named in the inputs, with at most
// maxTextChars of name or category; see Profile::Load), whether nothing is in force
// (inputs->off), and the number lists (loaded, and named in the inputs when they read).
// With the stored state unreadable, the settings' active profile is in force. True when
// the call is to be screened at all: something is in force, or a list holds an entry.
bool PrepareCall(const AppSettings& settings, DWORD maxTextChars, InForce* inForce,
                 Profile* profile, NumberList* blocked, NumberList* allowed, CallInputs* inputs);
