// Why a screened call was refused or let through: one word each, as the call history
// stores it. A new reason goes at the end, with its word and its text in words (resource
// string 260 + the reason's value).
#pragma once
#include <windows.h>

enum class CallReason : int {
    None = 0,       // nothing was screened (Off): no history record
    All,            // every call refused
    Unknown,        // the caller is no contact
    Contact,        // a contact, in "refuse unknown"
    Withheld,       // no number, wherever the rule would otherwise say Unknown
    NumberShown,    // a number, in "refuse withheld"
    Listed,         // in the profile's contact list
    NotListed,      // a contact not in the list
    Category,       // the contact's categories hold the profile's category
    NotCategory,    // they do not
    NoCategories,   // nothing to compare: the contact or the profile has no category
    StoreFailed,    // the contact store could not be read
    NoProfile,      // the active profile could not be read
    Talking,        // the rule would have refused, but a call was being talked on
    Repeated,       // the rule would have refused, but the number was refused a few minutes ago
    AllowedNumber,  // on the allowed numbers: let through, whatever the profile says
    BlockedNumber,  // on the blocked numbers: refused, whatever the profile says
    Emergency,      // an emergency number, which is never refused
    Called,         // the rule would have refused, but the user called the number lately
    EmergencyPause, // the user called an emergency number lately: nothing is refused
};

// The reasons a record names an entry of the number lists for.
inline bool IsNumberListReason(CallReason reason) {
    return reason == CallReason::AllowedNumber || reason == CallReason::BlockedNumber;
}

// The reasons a record names a call of the phone's call log for, by its start.
inline bool IsCallLogReason(CallReason reason) {
    return reason == CallReason::Called || reason == CallReason::EmergencyPause;
}

// The stored word ("all", "not-listed", ...); null for None and values out of range.
LPCWSTR CallReasonWord(CallReason reason);
// The reason of a stored word; false for a word that is none of them (and for None).
bool CallReasonFromWord(LPCWSTR word, CallReason* reason);
