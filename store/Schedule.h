// The weekly schedule: up to 16 rules, each naming a profile, the days it starts on
// and a start and end time, kept under HKCU\Software\Quorvane\Vespera\Schedule as the
// REG_MULTI_SZ values "Rule00" to "Rule15". Each value holds, in this order: the
// profile's key name, the days as a decimal bit set (bit 0 Sunday ... bit 6
// Saturday), the start "hh:mm", the end "hh:mm" (at or before the start: the next
// day) and the start of the occurrence last applied ("YYYY-MM-DD hh:mm", "" never).
//
// Times are local wall-clock times and are computed as such: a minute is a date and a
// time of day as the phone's clock shows them, never converted through UTC, so a
// change to or from daylight saving time moves no rule.
#pragma once
#include "store/Profile.h"
#include "store/StoredTime.h"
#include <windows.h>

// Add when every slot holds a rule.
const HRESULT kScheduleFull = HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS);

const UINT kScheduleRuleCount = 16;
// A stored rule is some 75 characters long; a value much longer is no rule.
const DWORD kMaxRuleBytes = 1024;
const DWORD kScheduleAllDays = 0x7F;
const DWORD kScheduleWeekdays = 0x3E; // Monday to Friday
const DWORD kScheduleWeekends = 0x41; // Saturday and Sunday
// Why a rule takes no part in the schedule; the list shows it.
enum class RuleStatus {
    Valid,
    Unreadable,     // not a multi-string, unterminated, too few strings, no profile name
    BadDays,        // not a number, no day, or bits beyond Saturday
    BadTime,        // a start, end or applied time that is no time
    ProfileMissing, // the profile was deleted
};

struct ScheduleRule {
    WCHAR profile[kProfileKeyNameChars] = L""; // key name
    DWORD days = 0;                            // bit 0 Sunday ... bit 6 Saturday
    int start = 0;                             // minute of the day
    int end = 0;                               // at or before start: the next day
    bool applied = false;                      // appliedStart holds an occurrence
    WallMinute appliedStart = 0;               // start of the occurrence last applied
    RuleStatus status = RuleStatus::Valid;

    // Length of an occurrence in minutes: 1 to 1,440 (an end equal to the start is a
    // whole day).
    int Length() const;
};

// A rule's stored text as written to "RuleNN": the five strings, each terminated, and
// the list's own terminator. Used by Schedule; public so the format can be tested.
HRESULT EncodeRule(const ScheduleRule& rule, LPWSTR buffer, UINT chars, UINT* used);
// Fills the rule from a value's type and bytes; the rule's status says what was wrong
// (never a failure: a damaged value is a rule that is ignored).
void DecodeRule(DWORD type, const BYTE* data, DWORD bytes, ScheduleRule* rule);

// What the schedule says at one moment.
struct ScheduleDecision {
    int rule = -1;        // index of the rule whose occurrence is due; -1: none
    WallMinute start = 0; // the occurrence's start and end
    WallMinute end = 0;
    bool alreadyApplied = false; // the rule in force now was applied before
};

// Which occurrence, of the rules given, contains now and is still to be applied. Only
// valid rules count. An occurrence starts on one of its rule's days at the start time
// and lasts until the end time (the next day when the end is at or before the start).
// Where occurrences overlap, the one that started last is the one in force (at equal
// starts, the first rule given); when that one was applied already, nothing is due, so
// a switch by hand during it stands. Only an occurrence containing now counts: one
// that ended before now is never applied late.
// S_OK: decision->rule is due. S_FALSE: nothing is due (decision->rule is the rule in
// force when alreadyApplied, else -1). E_INVALIDARG: no decision, or now is no time.
HRESULT EvaluateSchedule(const ScheduleRule* rules, UINT count, const SYSTEMTIME& now,
                         ScheduleDecision* decision);

// The stored rules, by slot: slot n is the value "Rule" n in two digits.
class Schedule {
public:
    // Reads every slot; a missing key is an empty schedule. Rules whose profile has no
    // key any more are marked ProfileMissing.
    HRESULT Load();
    // Stores the rule in the first free slot (kScheduleFull when none is left), with
    // no occurrence applied; *slot is where it went.
    HRESULT Add(const ScheduleRule& rule, UINT* slot);
    // Replaces the rule of a slot. A rule that changes starts again with no
    // occurrence applied; one that is saved unchanged keeps its marker.
    HRESULT Edit(UINT slot, const ScheduleRule& rule);
    HRESULT Delete(UINT slot);
    // Records that the occurrence starting then was applied. Refused (E_INVALIDARG)
    // for a free slot or a rule that is not valid: a damaged value is never rewritten.
    HRESULT MarkApplied(UINT slot, WallMinute occurrenceStart);

    // The rules of the occupied slots in slot order, for EvaluateSchedule; slots[i] is
    // the slot of rules[i]. Returns the number of rules.
    UINT Collect(ScheduleRule (&rules)[kScheduleRuleCount],
                 UINT (&slots)[kScheduleRuleCount]) const;
    UINT Count() const;

    bool stored[kScheduleRuleCount] = {};
    ScheduleRule rules[kScheduleRuleCount];

private:
    HRESULT Write(UINT slot, const ScheduleRule& rule);
};

// The schedule's own timed profile: the profile it last made active and the end it gave
// it ("ActiveUntil" as written then), and the start of the first occurrence applied
// since a lasting profile was in force. Stored as the REG_MULTI_SZ "LastApplied" beside
// the rules. While the timed profile in force is still this one, every occurrence applied
// since firstStart was interrupted by a later one, never switched off by hand.
struct LastApplied {
    WallMinute firstStart = 0;
    WCHAR profile[kProfileKeyNameChars] = L"";
    WallMinute end = 0;
};
// S_FALSE (and an empty record) when none is stored or it does not read.
HRESULT ReadLastApplied(LastApplied* record);
HRESULT WriteLastApplied(const LastApplied& record);
HRESULT DeleteLastApplied();
// True when a stored rule takes part in the schedule (a valid one, its profile there).
bool ScheduleHasRules();

// The value name of a slot: "Rule00" to "Rule15".
HRESULT RuleValueName(UINT slot, LPWSTR buffer, UINT chars);
// True when the profile's key exists.
bool ProfileKeyExists(LPCWSTR keyName);
