// The screening decision as a plain function: every mode against every kind of caller,
// with the reason each verdict gives. No registry, no contact store, no keys.
#include "screening/Decision.h"
#include "screening/RepeatedCalls.h"
#include "store/CallerNumber.h"
#include <gtest/gtest.h>
#include <strsafe.h>
#include <string>
#include <wchar.h>

namespace {

const DWORD kListedOid = 11, kFamilyOid = 12, kOtherOid = 13, kBareOid = 14;

// Categories by OID; counts how often it was asked.
class FakeCategories : public CategoryLookup {
public:
    HRESULT Match(DWORD oid, LPCWSTR category, CategoryMatch* match) override {
        ++asked;
        if (failure != S_OK)
            return failure;
        LPCWSTR text = oid == kListedOid   ? L"Work"
                       : oid == kFamilyOid ? L"Work,Family"
                       : oid == kOtherOid  ? L"Business"
                                           : L"";
        *match = !text[0]                 ? CategoryMatch::NoCategories
                 : wcsstr(text, category) ? CategoryMatch::Found
                                          : CategoryMatch::NotFound;
        return S_OK;
    }
    HRESULT failure = S_OK;
    int asked = 0;
};

enum Kind {
    ListedContact,
    CategoryContact,
    OtherContact,
    BareContact,
    UnknownNumber,
    WithheldNumber,
    kKinds
};

Caller MakeCaller(Kind kind, bool talking = false) {
    Caller caller;
    const struct {
        LPCWSTR number;
        DWORD oid;
    } callers[kKinds] = {{L"5550111", kListedOid}, {L"5550112", kFamilyOid},
                         {L"5550113", kOtherOid},  {L"5550114", kBareOid},
                         {L"5550199", 0},          {L"", 0}};
    StringCchCopyW(caller.number, ARRAYSIZE(caller.number), callers[kind].number);
    caller.oid = callers[kind].oid;
    // What the phone reports for a value it does not have.
    caller.numberRead = caller.number[0] ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    caller.oidRead = caller.oid ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    caller.talking = talking;
    return caller;
}

struct Expected {
    bool refuse;
    CallReason reason;
};
const Expected R(CallReason reason) {
    return {true, reason};
}
const Expected P(CallReason reason) {
    return {false, reason};
}

using CR = CallReason;
std::wstring Word(CallReason reason) {
    LPCWSTR word = CallReasonWord(reason);
    return word ? word : L"(none)";
}

struct ModeRow {
    ScreeningMode mode;
    Expected byKind[kKinds];
};

// Listed contact, contact in the category, other contact, contact without categories,
// unknown number, withheld number.
const ModeRow kRows[] = {
    {ScreeningMode::BlockAll,
     {R(CR::All), R(CR::All), R(CR::All), R(CR::All), R(CR::All), R(CR::All)}},
    {ScreeningMode::BlockUnknown,
     {P(CR::Contact), P(CR::Contact), P(CR::Contact), P(CR::Contact), R(CR::Unknown),
      R(CR::Withheld)}},
    {ScreeningMode::BlockPrivate,
     {P(CR::NumberShown), P(CR::NumberShown), P(CR::NumberShown), P(CR::NumberShown),
      P(CR::NumberShown), R(CR::Withheld)}},
    {ScreeningMode::BlockListed,
     {R(CR::Listed), P(CR::NotListed), P(CR::NotListed), P(CR::NotListed), P(CR::Unknown),
      P(CR::Withheld)}},
    {ScreeningMode::BlockCategory,
     {P(CR::NotCategory), R(CR::Category), P(CR::NotCategory), P(CR::NoCategories), P(CR::Unknown),
      P(CR::Withheld)}},
    {ScreeningMode::AllowListed,
     {P(CR::Listed), R(CR::NotListed), R(CR::NotListed), R(CR::NotListed), R(CR::Unknown),
      R(CR::Withheld)}},
    {ScreeningMode::AllowCategory,
     {R(CR::NotCategory), P(CR::Category), R(CR::NotCategory), P(CR::NoCategories), R(CR::Unknown),
      R(CR::Withheld)}},
    {static_cast<ScreeningMode>(9),
     {P(CR::Contact), P(CR::Contact), P(CR::Contact), P(CR::Contact), P(CR::Unknown),
      P(CR::Withheld)}},
};

class DecisionTest : public ::testing::Test {
protected:
    void Use(ScreeningMode mode) {
        ASSERT_EQ(S_OK, profile.SetName(L"Test"));
        ASSERT_EQ(S_OK, profile.SetMode(mode));
        ASSERT_EQ(S_OK, profile.SetCategory(L"Family"));
        ASSERT_EQ(S_OK, profile.ClearContacts());
        ASSERT_EQ(S_OK, profile.AddContact(kListedOid));
    }
    Verdict DecideFor(const Caller& caller) {
        CallInputs inputs;
        inputs.profile = &profile;
        inputs.caller = caller;
        inputs.categories = &categories;
        GetLocalTime(&inputs.now);
        return Decide(inputs);
    }
    Profile profile;
    FakeCategories categories;
};

} // namespace

TEST_F(DecisionTest, EveryModeGivesEveryKindOfCallerItsVerdictAndReason) {
    for (const ModeRow& row : kRows) {
        Use(row.mode);
        for (int kind = 0; kind < kKinds; ++kind) {
            SCOPED_TRACE(testing::Message()
                         << "mode " << static_cast<int>(row.mode) << ", kind " << kind);
            const Expected& expected = row.byKind[kind];
            Verdict verdict = DecideFor(MakeCaller(static_cast<Kind>(kind)));
            EXPECT_EQ(expected.refuse, verdict.refuse);
            EXPECT_EQ(Word(expected.reason), Word(verdict.reason));

            // While a call is talked on, what the rule would refuse goes through.
            Verdict talking = DecideFor(MakeCaller(static_cast<Kind>(kind), true));
            EXPECT_FALSE(talking.refuse);
            EXPECT_EQ(Word(expected.refuse ? CR::Talking : expected.reason), Word(talking.reason));
            EXPECT_EQ(verdict.result, talking.result);
        }
    }
}

TEST_F(DecisionTest, TheContactStoreIsAskedOnlyInTheCategoryModesAndOnlyForContacts) {
    for (const ModeRow& row : kRows) {
        Use(row.mode);
        categories.asked = 0;
        for (int kind = 0; kind < kKinds; ++kind)
            DecideFor(MakeCaller(static_cast<Kind>(kind)));
        const bool categoryMode =
            row.mode == ScreeningMode::BlockCategory || row.mode == ScreeningMode::AllowCategory;
        EXPECT_EQ(categoryMode ? 4 : 0, categories.asked) << static_cast<int>(row.mode);
    }
}

TEST_F(DecisionTest, FailuresLetTheCallThroughAndSayWhy) {
    // A failing contact store, in both category modes.
    categories.failure = E_OUTOFMEMORY;
    for (ScreeningMode mode : {ScreeningMode::BlockCategory, ScreeningMode::AllowCategory}) {
        Use(mode);
        Verdict verdict = DecideFor(MakeCaller(CategoryContact));
        EXPECT_FALSE(verdict.refuse);
        EXPECT_EQ(CR::StoreFailed, verdict.reason);
        EXPECT_EQ(E_OUTOFMEMORY, verdict.result);
        // An unknown caller is decided before the store is asked.
        EXPECT_EQ(mode == ScreeningMode::AllowCategory,
                  DecideFor(MakeCaller(UnknownNumber)).refuse);
    }
    categories.failure = S_OK;

    // A profile without a category text: nothing to compare.
    Use(ScreeningMode::AllowCategory);
    ASSERT_EQ(S_OK, profile.SetCategory(nullptr));
    Verdict verdict = DecideFor(MakeCaller(OtherContact));
    EXPECT_FALSE(verdict.refuse);
    EXPECT_EQ(CR::NoCategories, verdict.reason);
    EXPECT_EQ(E_INVALIDARG, verdict.result);

    // An unreadable profile.
    CallInputs inputs;
    inputs.profileResult = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    inputs.caller = MakeCaller(UnknownNumber);
    verdict = Decide(inputs);
    EXPECT_FALSE(verdict.refuse);
    EXPECT_EQ(CR::NoProfile, verdict.reason);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), verdict.result);

    // Off screens nothing, so there is nothing to record.
    Use(ScreeningMode::Off);
    verdict = DecideFor(MakeCaller(WithheldNumber));
    EXPECT_FALSE(verdict.refuse);
    EXPECT_EQ(CR::None, verdict.reason);
    EXPECT_EQ(E_UNEXPECTED, verdict.result);

    // The reads' own failures come back as the result.
    Use(ScreeningMode::BlockPrivate);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              DecideFor(MakeCaller(WithheldNumber)).result);
    Use(ScreeningMode::BlockUnknown);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              DecideFor(MakeCaller(UnknownNumber)).result);
}

// ---- Repeated calls ----

namespace {

// An earlier refusal of one number at one time; records what it was asked.
class FakeRepeats : public RepeatLookup {
public:
    HRESULT RefusedSince(LPCWSTR number, const SYSTEMTIME& since, const SYSTEMTIME& now,
                         bool* refused) override {
        ++asked;
        askedSince = since;
        if (failure != S_OK)
            return failure;
        FILETIME at = {}, from = {}, to = {};
        SystemTimeToFileTime(&refusedAt, &at);
        SystemTimeToFileTime(&since, &from);
        SystemTimeToFileTime(&now, &to);
        *refused = wcscmp(number, refusedNumber) == 0 && CompareFileTime(&at, &from) >= 0 &&
                   CompareFileTime(&at, &to) <= 0;
        return S_OK;
    }
    LPCWSTR refusedNumber = L"";
    SYSTEMTIME refusedAt = {};
    SYSTEMTIME askedSince = {};
    HRESULT failure = S_OK;
    int asked = 0;
};

SYSTEMTIME At(WORD hour, WORD minute, WORD second = 0) {
    SYSTEMTIME time = {};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = 8;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    return time;
}

} // namespace

// In every mode, each caller the rule refuses gets through when the same number was
// refused within the minutes, and is refused again once they are over; the history is
// asked only for such callers, never for a withheld number, and never with the option
// off. A history that cannot be read leaves the refusal.
TEST_F(DecisionTest, ARefusedNumberCallingAgainWithinTheMinutesGetsThrough) {
    for (const ModeRow& row : kRows) {
        for (int kind = 0; kind < kKinds; ++kind) {
            SCOPED_TRACE(testing::Message()
                         << "mode " << static_cast<int>(row.mode) << ", kind " << kind);
            Use(row.mode);
            FakeRepeats repeats;
            const Caller caller = MakeCaller(static_cast<Kind>(kind));
            repeats.refusedNumber = caller.number;
            repeats.refusedAt = At(9, 0);
            auto decide = [&](DWORD minutes, const SYSTEMTIME& now) {
                profile.SetRepeatMinutes(minutes);
                CallInputs inputs;
                inputs.profile = &profile;
                inputs.caller = caller;
                inputs.categories = &categories;
                inputs.repeats = &repeats;
                inputs.now = now;
                return Decide(inputs);
            };
            const Expected& rule = row.byKind[kind];
            const bool repeatable = rule.refuse && caller.number[0];
            Verdict off = decide(0, At(9, 2));
            EXPECT_EQ(rule.refuse, off.refuse);
            EXPECT_EQ(0, repeats.asked) << "the option is off";
            Verdict within = decide(5, At(9, 5));
            EXPECT_EQ(rule.refuse && !repeatable, within.refuse);
            EXPECT_EQ(Word(repeatable ? CR::Repeated : rule.reason), Word(within.reason));
            EXPECT_EQ(repeatable ? 1 : 0, repeats.asked);
            if (!repeatable)
                continue;
            // Measured back from now by the profile's minutes.
            EXPECT_EQ(8, repeats.askedSince.wDay);
            EXPECT_EQ(9, repeats.askedSince.wHour);
            EXPECT_EQ(0, repeats.askedSince.wMinute);
            EXPECT_EQ(0, repeats.askedSince.wSecond);
            Verdict after = decide(5, At(9, 5, 1));
            EXPECT_TRUE(after.refuse);
            EXPECT_EQ(Word(rule.reason), Word(after.reason));
            repeats.failure = E_FAIL;
            EXPECT_TRUE(decide(5, At(9, 1)).refuse) << "an unreadable history";
        }
    }
}

// As the phone matches a caller: digits only; the last nine of long numbers, the whole
// of short codes.
TEST(SameCallerNumber, ComparesTheDigitsAsThePhoneDoes) {
    EXPECT_TRUE(SameCallerNumber(L"+44 20 7946 0018", L"020 7946 0018"));
    EXPECT_TRUE(SameCallerNumber(L"0044 (20) 7946-0018", L"+44 20 7946 0018"));
    EXPECT_TRUE(SameCallerNumber(L"555-0199", L"5550199"));
    EXPECT_TRUE(SameCallerNumber(L"+1 425 555 0199", L"5550199")) << "seven digits agree";
    EXPECT_FALSE(SameCallerNumber(L"5550199", L"5550198"));
    EXPECT_FALSE(SameCallerNumber(L"+44 20 7946 0018", L"+44 21 7946 0018"));
    EXPECT_TRUE(SameCallerNumber(L"112", L"112"));
    EXPECT_FALSE(SameCallerNumber(L"112", L"5550112")) << "a short code matches whole";
    EXPECT_FALSE(SameCallerNumber(L"", L""));
    EXPECT_FALSE(SameCallerNumber(L"private", L"private"));
}

// ---- The phone's call log ----

namespace {

// The log's answer for one number the user called and one pause; records the questions.
class FakeCallLog : public CallLogLookup {
public:
    HRESULT Look(LPCWSTR number, DWORD days, const SYSTEMTIME&, CallLogFacts* facts) override {
        ++asked;
        askedNumber = number ? number : L"(none)";
        askedDays = days;
        if (failure != S_OK)
            return failure;
        facts->called = called && number;
        facts->calledAt = At(7, 30);
        facts->paused = paused;
        facts->emergencyAt = At(8, 15);
        return S_OK;
    }
    bool called = false, paused = false;
    HRESULT failure = S_OK;
    int asked = 0;
    std::wstring askedNumber;
    DWORD askedDays = 0;
};

} // namespace

// In every mode, a caller the rule refuses gets through when the user called the number
// (never a withheld one), and every refused caller does during the pause after an
// emergency call; the log is asked once, only for a refusal, and a log that cannot be
// read leaves the refusal as it was.
TEST_F(DecisionTest, TheCallLogLetsCalledNumbersAndEveryoneDuringThePauseThrough) {
    for (const ModeRow& row : kRows) {
        for (int kind = 0; kind < kKinds; ++kind) {
            SCOPED_TRACE(testing::Message()
                         << "mode " << static_cast<int>(row.mode) << ", kind " << kind);
            Use(row.mode);
            const Caller caller = MakeCaller(static_cast<Kind>(kind));
            const Expected& rule = row.byKind[kind];
            auto decide = [&](DWORD days, FakeCallLog* log) {
                profile.SetCalledDays(days);
                CallInputs inputs;
                inputs.profile = &profile;
                inputs.caller = caller;
                inputs.categories = &categories;
                inputs.callLog = log;
                inputs.now = At(9, 0);
                return Decide(inputs);
            };
            FakeCallLog called;
            called.called = true;
            Verdict verdict = decide(7, &called);
            const bool letThrough = rule.refuse && caller.number[0];
            EXPECT_EQ(rule.refuse && !letThrough, verdict.refuse);
            EXPECT_EQ(Word(letThrough ? CR::Called : rule.reason), Word(verdict.reason));
            EXPECT_EQ(rule.refuse ? 1 : 0, called.asked);
            if (letThrough) {
                EXPECT_EQ(caller.number, called.askedNumber);
                EXPECT_EQ(7u, called.askedDays);
                EXPECT_EQ(30, verdict.loggedCall.wMinute);
            }
            called.askedNumber.clear();
            EXPECT_EQ(rule.refuse, decide(0, &called).refuse) << "the option is off";
            EXPECT_EQ(rule.refuse ? L"(none)" : L"", called.askedNumber);

            FakeCallLog paused;
            paused.paused = true;
            verdict = decide(0, &paused);
            EXPECT_FALSE(verdict.refuse);
            EXPECT_EQ(Word(rule.refuse ? CR::EmergencyPause : rule.reason), Word(verdict.reason));
            if (rule.refuse)
                EXPECT_EQ(15, verdict.loggedCall.wMinute);

            FakeCallLog failing;
            failing.called = failing.paused = true;
            failing.failure = E_FAIL;
            EXPECT_EQ(rule.refuse, decide(7, &failing).refuse) << "an unreadable log";
        }
    }
}

// The blocked numbers refuse a number the user called, but not during the pause, not
// even while Off.
TEST_F(DecisionTest, BlockedNumbersRefuseCalledNumbersButNotDuringThePause) {
    NumberList blocked(NumberListKind::Blocked);
    ASSERT_EQ(S_OK, blocked.Add(L"5550199", L""));
    Use(ScreeningMode::BlockUnknown);
    profile.SetCalledDays(30);
    for (bool off : {false, true}) {
        FakeCallLog log;
        log.called = true;
        CallInputs inputs;
        inputs.profile = off ? nullptr : &profile;
        inputs.off = off;
        inputs.caller = MakeCaller(UnknownNumber);
        inputs.blocked = &blocked;
        inputs.callLog = &log;
        inputs.now = At(9, 0);
        Verdict verdict = Decide(inputs);
        EXPECT_TRUE(verdict.refuse);
        EXPECT_EQ(Word(CR::BlockedNumber), Word(verdict.reason));
        EXPECT_EQ(L"(none)", log.askedNumber) << "a blocked number is not asked about";
        log.paused = true;
        verdict = Decide(inputs);
        EXPECT_FALSE(verdict.refuse);
        EXPECT_EQ(Word(CR::EmergencyPause), Word(verdict.reason));
        EXPECT_EQ(nullptr, verdict.entry);
    }
}
