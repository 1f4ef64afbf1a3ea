// The lists of blocked and allowed numbers: what an entry is, what it matches, how it is
// stored and read back, and where the lists stand in the decision and the request.
#include "screening/CallNotification.h"
#include "screening/Decision.h"
#include "store/NumberList.h"
#include "support/ScratchRegistry.h"
#include <gtest/gtest.h>
#include <strsafe.h>
#include <string>

namespace {

const WCHAR kNumbersPath[] = L"Software\\Quorvane\\Vespera\\Numbers";

bool Matches(LPCWSTR entry, LPCWSTR number) {
    NumberPattern pattern;
    return SUCCEEDED(ParseNumberPattern(entry, &pattern)) && NumberPatternMatches(pattern, number);
}

// A multi-string value from "|"-separated strings.
std::wstring Multi(const std::wstring& joined) {
    std::wstring text = joined;
    for (auto& c : text)
        if (c == L'|')
            c = L'\0';
    return text + L'\0' + L'\0';
}

class NumberListStore : public ScratchRegistry {
protected:
    void Store(LPCWSTR value, const std::wstring& multi) {
        ASSERT_EQ(ERROR_SUCCESS, SetRaw(kNumbersPath, value, REG_MULTI_SZ, multi.data(),
                                        static_cast<DWORD>(multi.size() * sizeof(WCHAR))));
    }
};

Caller CallerWith(LPCWSTR number, DWORD oid = 0) {
    Caller caller;
    StringCchCopyW(caller.number, ARRAYSIZE(caller.number), number);
    caller.oid = oid;
    caller.oidRead = oid ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    return caller;
}

} // namespace

TEST(NumberPattern, EntriesParseAsTypedAndAnythingElseIsRefused) {
    NumberPattern pattern;
    ASSERT_EQ(S_OK, ParseNumberPattern(L"+1 (900) 555-01.??", &pattern));
    EXPECT_STREQ(L"190055501??", pattern.digits);
    EXPECT_TRUE(pattern.plus && pattern.wildcard && !pattern.anyMore);
    EXPECT_EQ(9u, pattern.fixedDigits);
    ASSERT_EQ(S_OK, ParseNumberPattern(L"0800*", &pattern));
    EXPECT_TRUE(pattern.anyMore);
    EXPECT_EQ(4u, pattern.fixedDigits);
    for (LPCWSTR bad : {L"", L"  ", L"+", L"*", L"12*3", L"1+2", L"++1", L"555 call", L"12**",
                        L"1234567890123456789012345678901234567890"})
        EXPECT_EQ(E_INVALIDARG, ParseNumberPattern(bad, &pattern)) << bad;
}

TEST(NumberPattern, MatchesAsThePhoneMatchesAndPatternsFromTheFirstDigit) {
    // Exact entries: the digits, on the trailing ones for long numbers.
    EXPECT_TRUE(Matches(L"020 7946 0018", L"+44 20 7946 0018"));
    EXPECT_TRUE(Matches(L"555-0100", L"5550100"));
    EXPECT_FALSE(Matches(L"555-0100", L"5550101"));
    EXPECT_FALSE(Matches(L"112", L"5550112")) << "a short code matches whole";
    // "?" is one digit, a "*" at the end any further ones, from the first digit.
    EXPECT_TRUE(Matches(L"555-01??", L"5550123"));
    EXPECT_FALSE(Matches(L"555-01??", L"55501234"));
    EXPECT_FALSE(Matches(L"555-01??", L"1 5550123"));
    EXPECT_TRUE(Matches(L"0800*", L"0800 123 456"));
    EXPECT_TRUE(Matches(L"0800*", L"0800"));
    EXPECT_FALSE(Matches(L"0800*", L"01 0800 123"));
    // A leading "+" matches "+" or "00", and nothing else.
    EXPECT_TRUE(Matches(L"+1900*", L"+1 900 555 1234"));
    EXPECT_TRUE(Matches(L"+1900*", L"001900 555 1234"));
    EXPECT_FALSE(Matches(L"+1900*", L"1900 555 1234"));
    EXPECT_TRUE(Matches(L"1900*", L"+1900 555 1234")) << "no plus: the digits from the first";
    // A withheld caller matches nothing, not even "*"-only digits.
    EXPECT_FALSE(Matches(L"0*", L""));
    EXPECT_FALSE(Matches(L"555-01??", L"private"));
}

TEST_F(NumberListStore, StoredFormReadsBackAndDamageIsSkippedNeverLost) {
    NumberList list(NumberListKind::Blocked);
    ASSERT_EQ(S_OK, list.Load());
    EXPECT_EQ(0u, list.Count()) << "no key: an empty list";
    UINT index = 99;
    ASSERT_EQ(S_OK, list.Add(L"+1900*", L"Premium lines", &index));
    EXPECT_EQ(0u, index);
    ASSERT_EQ(S_OK, list.Add(L"555-0100", nullptr));
    EXPECT_EQ(S_FALSE, list.Add(L"(555) 0100", L"again", &index)) << "the same number is one entry";
    EXPECT_EQ(1u, index);
    EXPECT_EQ(E_INVALIDARG, list.Add(L"call me", nullptr));
    ASSERT_EQ(S_OK, list.Save());
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(GetRaw(kNumbersPath, L"Blocked", &type, &bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
    EXPECT_EQ(Multi(L"+1900*\tPremium lines|555-0100"),
              std::wstring(reinterpret_cast<const WCHAR*>(bytes.data()), bytes.size() / 2));

    // An entry that does not parse takes no part and stays as stored.
    Store(L"Blocked", Multi(L"+1900*\tPremium lines|not a number\tOld|555-0100"));
    ASSERT_EQ(S_OK, list.Load());
    ASSERT_EQ(3u, list.Count());
    EXPECT_FALSE(list[1].usable);
    EXPECT_STREQ(L"Old", list[1].label);
    EXPECT_EQ(2u, list.UsableCount());
    ASSERT_EQ(S_OK, list.Remove(2));
    ASSERT_EQ(S_OK, list.Save());
    ASSERT_EQ(S_OK, list.Load());
    EXPECT_STREQ(L"not a number", list[1].text);

    // A value of another type, or unterminated, takes no part at all.
    SetRawDword(kNumbersPath, L"Allowed", 5);
    NumberList allowed(NumberListKind::Allowed);
    ASSERT_EQ(S_OK, allowed.Load());
    EXPECT_FALSE(allowed.readable);
    EXPECT_EQ(0u, allowed.Count());
    const std::wstring cut = L"5550100";
    SetRaw(kNumbersPath, L"Allowed", REG_MULTI_SZ, cut.data(),
           static_cast<DWORD>(cut.size() * sizeof(WCHAR)));
    ASSERT_EQ(S_OK, allowed.Load());
    EXPECT_EQ(0u, allowed.Count());
    EXPECT_FALSE(NumberListInUse(NumberListKind::Allowed));
    EXPECT_TRUE(NumberListInUse(NumberListKind::Blocked));
}

TEST_F(NumberListStore, TheListsDecideBeforeTheProfileInEveryMode) {
    Store(L"Blocked", Multi(L"+1900*\tPremium lines|555-0100|0800*"));
    Store(L"Allowed", Multi(L"0800 123*\tPharmacy|5550123|555-0100"));
    NumberList blocked(NumberListKind::Blocked), allowed(NumberListKind::Allowed);
    ASSERT_EQ(S_OK, LoadNumberLists(&blocked, &allowed));
    for (DWORD m = 1; m <= 7; ++m) {
        Profile profile;
        profile.mode = static_cast<ScreeningMode>(m);
        profile.SetRepeatMinutes(5);
        CallInputs inputs;
        inputs.profile = &profile;
        inputs.blocked = &blocked;
        inputs.allowed = &allowed;
        SCOPED_TRACE(m);
        inputs.caller = CallerWith(L"+1 900 555 0000");
        Verdict verdict = Decide(inputs);
        EXPECT_TRUE(verdict.refuse);
        EXPECT_EQ(CallReason::BlockedNumber, verdict.reason);
        ASSERT_TRUE(verdict.entry);
        EXPECT_STREQ(L"Premium lines", verdict.entry->label);
        // More fixed digits win; a tie goes to allowed.
        inputs.caller = CallerWith(L"0800 123 456");
        EXPECT_EQ(CallReason::AllowedNumber, Decide(inputs).reason);
        inputs.caller = CallerWith(L"0800 999 456");
        EXPECT_EQ(CallReason::BlockedNumber, Decide(inputs).reason);
        inputs.caller = CallerWith(L"555 0100");
        EXPECT_FALSE(Decide(inputs).refuse);
        EXPECT_EQ(CallReason::AllowedNumber, Decide(inputs).reason);
        // The allowed number goes through even where the profile refuses strangers.
        inputs.caller = CallerWith(L"5550123");
        EXPECT_FALSE(Decide(inputs).refuse);
        // Emergency numbers are never refused, whatever the lists and the mode.
        Store(L"Blocked", Multi(L"1??"));
        NumberList emergencyBlocked(NumberListKind::Blocked);
        ASSERT_EQ(S_OK, emergencyBlocked.Load());
        inputs.blocked = &emergencyBlocked;
        inputs.caller = CallerWith(L"112");
        EXPECT_FALSE(Decide(inputs).refuse);
        EXPECT_EQ(CallReason::Emergency, Decide(inputs).reason);
        Store(L"Blocked", Multi(L"+1900*\tPremium lines|555-0100|0800*"));
    }
    // With nothing in force only the lists screen; others are not screened.
    CallInputs off;
    off.off = true;
    off.blocked = &blocked;
    off.allowed = &allowed;
    off.caller = CallerWith(L"+1 900 555 0000");
    EXPECT_TRUE(Decide(off).refuse);
    off.caller = CallerWith(L"5550199");
    EXPECT_EQ(CallReason::None, Decide(off).reason);
    off.caller = CallerWith(L"");
    EXPECT_EQ(CallReason::None, Decide(off).reason) << "a withheld caller matches no entry";
}

// A repeated call never lets a blocked number through: the list decided, not the rule.
class AlwaysRefusedBefore : public RepeatLookup {
public:
    HRESULT RefusedSince(LPCWSTR, const SYSTEMTIME&, const SYSTEMTIME&, bool* refused) override {
        *refused = true;
        return S_OK;
    }
};

TEST_F(NumberListStore, ARepeatedCallNeverLetsABlockedNumberThrough) {
    Store(L"Blocked", Multi(L"5550100"));
    NumberList blocked(NumberListKind::Blocked);
    ASSERT_EQ(S_OK, blocked.Load());
    Profile profile;
    profile.mode = ScreeningMode::BlockUnknown;
    profile.SetRepeatMinutes(5);
    AlwaysRefusedBefore repeats;
    CallInputs inputs;
    inputs.profile = &profile;
    inputs.repeats = &repeats;
    inputs.blocked = &blocked;
    GetLocalTime(&inputs.now);
    inputs.caller = CallerWith(L"5550100");
    EXPECT_TRUE(Decide(inputs).refuse);
    inputs.caller = CallerWith(L"5550101");
    EXPECT_EQ(CallReason::Repeated, Decide(inputs).reason) << "a stranger calling again";
}

TEST(CallRequestFor, OffAndBlockAllFollowTheLists) {
    CallRequestInputs inputs;
    EXPECT_EQ(CallRequestKind::None, CallRequestFor(inputs).kind) << "Off as today";
    inputs.allowedNumbers = true;
    EXPECT_EQ(CallRequestKind::None, CallRequestFor(inputs).kind) << "allowing asks for nothing";
    inputs.blockedNumbers = true;
    EXPECT_EQ(CallRequestKind::Window, CallRequestFor(inputs).kind);
    inputs.profileActive = inputs.profileRead = true;
    inputs.mode = ScreeningMode::BlockAll;
    const CallRequest blockAll = CallRequestFor(inputs);
    EXPECT_EQ(CallRequestKind::BlockAll, blockAll.kind);
    EXPECT_TRUE(blockAll.allowedNumbers);
    inputs.allowedNumbers = false;
    EXPECT_FALSE(CallRequestFor(inputs).allowedNumbers);
    EXPECT_TRUE(
        AllowedNumbersFromCommandLine(L"\"vespera.exe\" /BlockAll /Allow Vespera.IncomingCall"));
    EXPECT_FALSE(AllowedNumbersFromCommandLine(L"\"vespera.exe\" /BlockAll /Allowed"));
}
