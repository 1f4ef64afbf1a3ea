// The weekly schedule at call time: an occurrence of a rule that contains now and has
// not been applied yet makes its profile active until the occurrence ends, exactly as
// "Activate for…" would, and the profile in force before comes back afterwards through
// the timed hand-back.
#pragma once
#include "store/AppSettings.h"
#include <windows.h>

// Applies the occurrence in force at now, if it is still to be applied: its profile
// becomes the active one until the occurrence's end, the profile in force before it is
// the one that comes back (while a timed profile is in force, the one that timed profile
// was to hand back to), the broker request is the window kind, and the occurrence is
// marked applied. S_OK applied; S_FALSE nothing due; a failure changes nothing that the
// next call would not mend (it is tried again then).
HRESULT ApplySchedule(AppSettings& settings, const SYSTEMTIME& now);

// For a timed profile that has ended: when the schedule set it and it had interrupted an
// earlier occurrence that still contains now (no switch by hand in between), that
// occurrence's profile comes back until its own end, handing back afterwards to the same
// profile. S_OK when one came back (no hand-back is due then); S_FALSE when none did.
HRESULT ResumeInterruptedRule(AppSettings& settings, const SYSTEMTIME& now);

// Renews the broker request for the active profile as the settings hold it (Off when
// none or when it cannot be read), for a change that may have made the schedule start
// or stop needing the window kind.
HRESULT RenewCallNotification(const AppSettings& settings);
