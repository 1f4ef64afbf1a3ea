// The platform's call log through the real phone.dll, after real calls through phone.exe:
// the order, the end, the structure's size, the strings' owner, the 500 kept, damage.
#include "platform/LocalClock.h"
#include "screening/CallLogLookup.h"
#include "store/AppSettings.h"
#include "support/CallLog.h"
#include "support/Phone.h"
#include "support/ScratchRegistry.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

// Where the emulated broker keeps its requests: none may start a program here.
const wchar_t kRequests[] = L"Software\\PhoneEmulator\\Notifications";
const ULONGLONG kTicksPerSecond = 10000000;
const ULONGLONG kTicksPerMinute = 60 * kTicksPerSecond;

ULONGLONG Ticks(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

ULONGLONG NowTicks() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return Ticks(now);
}

// One entry as read, its strings copied and freed.
struct Read {
    HRESULT hr = E_UNEXPECTED;
    CALLLOGENTRY entry = {};
    bool hasNumber = false, hasName = false, hasNameType = false, hasNote = false;
    std::wstring number, name;
};

Read ReadNext(const PhoneLibrary& phone, HANDLE log) {
    Read read;
    read.entry.cbSize = sizeof(CALLLOGENTRY);
    read.hr = phone.Get(log, &read.entry);
    read.hasNumber = read.entry.pszNumber != nullptr;
    read.hasName = read.entry.pszName != nullptr;
    read.hasNameType = read.entry.pszNameType != nullptr;
    read.hasNote = read.entry.pszNote != nullptr;
    if (read.hasNumber)
        read.number = read.entry.pszNumber;
    if (read.hasName)
        read.name = read.entry.pszName;
    FreeEntryStrings(&read.entry);
    return read;
}

// Every entry from the seek pointer on, up to the first result that is not S_OK.
std::vector<Read> ReadToEnd(const PhoneLibrary& phone, HANDLE log, Read* last) {
    std::vector<Read> entries;
    for (;;) {
        Read read = ReadNext(phone, log);
        if (read.hr != S_OK) {
            *last = read;
            return entries;
        }
        entries.push_back(read);
    }
}

std::vector<std::wstring> Numbers(const std::vector<Read>& entries) {
    std::vector<std::wstring> numbers;
    for (const Read& read : entries)
        numbers.push_back(read.number);
    return numbers;
}

void Dial(const std::wstring& arguments) {
    ProcessResult result = Phone(L"dial " + arguments);
    ASSERT_TRUE(result.finished);
    ASSERT_EQ(0u, result.exitCode) << result.output;
}

class CallLogTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(phone.Loaded());
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRequests);
        ASSERT_EQ(0u, Phone(L"contacts clear").exitCode);
        ASSERT_EQ(0u, Phone(L"calllog clear").exitCode);
    }
    void TearDown() override { Phone(L"calllog clear"); }

    // Opens the log; closed when the test ends.
    HANDLE OpenLog() {
        HANDLE log = nullptr;
        EXPECT_EQ(S_OK, phone.Open(&log));
        opened.push_back(log);
        return log;
    }
    ~CallLogTest() override {
        for (HANDLE log : opened)
            if (log)
                phone.Close(log);
    }

    PhoneLibrary phone;
    std::vector<HANDLE> opened;
};

using Reading = CallLogTest;
using Strings = CallLogTest;
using Storage = CallLogTest;

TEST_F(Reading, AMissingOrClearedLogIsEmpty) {
    HANDLE log = OpenLog();
    EXPECT_EQ(S_FALSE, ReadNext(phone, log).hr);
    DWORD record = 7;
    EXPECT_EQ(E_FAIL, phone.Seek(log, CALLLOGSEEK_BEGINNING, 0, &record));
    EXPECT_EQ(E_FAIL, phone.Seek(log, CALLLOGSEEK_END, 0, &record));

    Dial(L"112");
    ASSERT_EQ(0u, Phone(L"calllog clear").exitCode);
    EXPECT_EQ(S_FALSE, ReadNext(phone, OpenLog()).hr);
}

TEST_F(Reading, RealCallsComeNewestFirstThenSFalse) {
    ReplaceContacts("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ada\r\nTEL:555-0100\r\nEND:VCARD\r\n");
    const ULONGLONG before = NowTicks();
    Dial(L"112 --ago 90");
    Dial(L"5550100 --ago 30");
    ASSERT_EQ(0u, Phone(L"ring --withheld --ring-ms 1").exitCode);
    ASSERT_EQ(0u, Phone(L"ring 5550100 --ring-ms 1").exitCode);
    // Dialled later, started earlier: it goes by its start.
    Dial(L"999 --ago 60");
    const ULONGLONG after = NowTicks();

    Read last;
    std::vector<Read> entries = ReadToEnd(phone, OpenLog(), &last);
    EXPECT_EQ(S_FALSE, last.hr);
    ASSERT_EQ((std::vector<std::wstring>{L"5550100", L"", L"5550100", L"999", L"112"}),
              Numbers(entries));

    const CALLLOGENTRY& rung = entries[0].entry;
    EXPECT_EQ(IOM_MISSED, rung.iom);
    EXPECT_FALSE(rung.fOutgoing);
    EXPECT_FALSE(rung.fConnected);
    EXPECT_TRUE(rung.fEnded);
    EXPECT_FALSE(rung.fRoam);
    EXPECT_EQ(CALLERIDTYPE_AVAILABLE, rung.cidt);
    EXPECT_EQ(L"Ada", entries[0].name);
    EXPECT_LE(before, Ticks(rung.ftStartTime));
    EXPECT_LE(Ticks(rung.ftStartTime), Ticks(rung.ftEndTime));
    EXPECT_LE(Ticks(rung.ftEndTime), after);

    const CALLLOGENTRY& withheld = entries[1].entry;
    EXPECT_EQ(IOM_MISSED, withheld.iom);
    EXPECT_EQ(CALLERIDTYPE_BLOCKED, withheld.cidt);
    EXPECT_FALSE(entries[1].hasNumber);
    EXPECT_FALSE(entries[1].hasName);

    const CALLLOGENTRY& dialled = entries[2].entry;
    EXPECT_EQ(IOM_OUTGOING, dialled.iom);
    EXPECT_TRUE(dialled.fOutgoing);
    EXPECT_TRUE(dialled.fConnected);
    EXPECT_TRUE(dialled.fEnded);
    EXPECT_EQ(CALLERIDTYPE_AVAILABLE, dialled.cidt);
    EXPECT_EQ(L"Ada", entries[2].name);
    EXPECT_LE(before - 30 * kTicksPerMinute, Ticks(dialled.ftStartTime));
    EXPECT_GE(after - 30 * kTicksPerMinute, Ticks(dialled.ftStartTime));
    EXPECT_EQ(30 * kTicksPerSecond, Ticks(dialled.ftEndTime) - Ticks(dialled.ftStartTime));

    EXPECT_FALSE(entries[4].hasName);
    for (const Read& read : entries) {
        EXPECT_FALSE(read.hasNameType);
        EXPECT_FALSE(read.hasNote);
    }
    // Past the end it stays at the end.
    Read again;
    HANDLE log = OpenLog();
    ReadToEnd(phone, log, &again);
    EXPECT_EQ(S_FALSE, again.hr);
    EXPECT_EQ(S_FALSE, ReadNext(phone, log).hr);
}

TEST_F(Reading, AWrongSizeOrHandleIsRefusedAndMovesNothing) {
    Dial(L"1 --ago 1");
    Dial(L"2");
    HANDLE log = OpenLog();
    for (DWORD size : {0ul, static_cast<unsigned long>(sizeof(CALLLOGENTRY) - 1),
                       static_cast<unsigned long>(sizeof(CALLLOGENTRY) + 8), 48ul}) {
        CALLLOGENTRY entry = {};
        entry.cbSize = size;
        EXPECT_EQ(E_INVALIDARG, phone.Get(log, &entry)) << size;
        EXPECT_EQ(nullptr, entry.pszNumber);
    }
    CALLLOGENTRY entry = {};
    entry.cbSize = sizeof(entry);
    EXPECT_EQ(E_INVALIDARG, phone.Get(nullptr, &entry));
    EXPECT_EQ(E_INVALIDARG, phone.Get(log, nullptr));
    EXPECT_EQ(E_INVALIDARG, phone.Open(nullptr));
    EXPECT_EQ(E_INVALIDARG, phone.Close(nullptr));

    Read read = ReadNext(phone, log);
    EXPECT_EQ(S_OK, read.hr);
    EXPECT_EQ(L"2", read.number);
}

TEST_F(Reading, SeekCountsFromEitherEnd) {
    Dial(L"1 --ago 2");
    Dial(L"2 --ago 1");
    Dial(L"3");
    HANDLE log = OpenLog();
    DWORD record = 99;
    // The documented way to count: the end's first record is the last one.
    ASSERT_EQ(S_OK, phone.Seek(log, CALLLOGSEEK_END, 0, &record));
    EXPECT_EQ(2u, record);
    EXPECT_EQ(L"1", ReadNext(phone, log).number);
    EXPECT_EQ(S_FALSE, ReadNext(phone, log).hr);

    ASSERT_EQ(S_OK, phone.Seek(log, CALLLOGSEEK_BEGINNING, 0, &record));
    EXPECT_EQ(0u, record);
    EXPECT_EQ(L"3", ReadNext(phone, log).number);
    ASSERT_EQ(S_OK, phone.Seek(log, CALLLOGSEEK_BEGINNING, 1, &record));
    EXPECT_EQ(1u, record);
    EXPECT_EQ(L"2", ReadNext(phone, log).number);
    ASSERT_EQ(S_OK, phone.Seek(log, CALLLOGSEEK_END, 2, &record));
    EXPECT_EQ(0u, record);

    // No such record, or no such seek: the pointer stays.
    EXPECT_EQ(E_FAIL, phone.Seek(log, CALLLOGSEEK_BEGINNING, 3, &record));
    EXPECT_EQ(E_FAIL, phone.Seek(log, CALLLOGSEEK_END, 3, &record));
    EXPECT_EQ(E_INVALIDARG, phone.Seek(log, static_cast<CALLLOGSEEK>(3), 0, &record));
    EXPECT_EQ(E_INVALIDARG, phone.Seek(nullptr, CALLLOGSEEK_BEGINNING, 0, &record));
    EXPECT_EQ(L"3", ReadNext(phone, log).number);
}

TEST_F(Strings, AreLocalMemoryThatTheCallerFrees) {
    ReplaceContacts("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ada\r\nTEL:555-0100\r\nEND:VCARD\r\n");
    Dial(L"5550100");
    ASSERT_EQ(0u, Phone(L"ring 5550100 --ring-ms 1").exitCode);
    auto readAll = [this] {
        HANDLE log = nullptr;
        ASSERT_EQ(S_OK, phone.Open(&log));
        int entries = 0;
        for (;;) {
            CALLLOGENTRY entry = {};
            entry.cbSize = sizeof(entry);
            if (phone.Get(log, &entry) != S_OK)
                break;
            ++entries;
            for (PTSTR text : {entry.pszNumber, entry.pszName, entry.pszNameType, entry.pszNote})
                EXPECT_EQ(nullptr, LocalFree(text));
        }
        EXPECT_EQ(2, entries);
        EXPECT_EQ(S_OK, phone.Close(log));
    };
    readAll(); // the first use settles what the process keeps
    ResourceCount before = CountResources();
    for (int round = 0; round < 5; ++round)
        readAll();
    EXPECT_EQ(before, CountResources());

    // The strings come from the process's local heap: left unfreed, they stay there.
    HANDLE log = nullptr;
    ASSERT_EQ(S_OK, phone.Open(&log));
    CALLLOGENTRY entry = {};
    entry.cbSize = sizeof(entry);
    ASSERT_EQ(S_OK, phone.Get(log, &entry));
    ASSERT_EQ(S_OK, phone.Close(log));
    ASSERT_NE(nullptr, entry.pszName);
    EXPECT_EQ(before.heapBlocks + 2, CountResources().heapBlocks);
    EXPECT_EQ(2, FreeEntryStrings(&entry));
    EXPECT_EQ(before, CountResources());
}

TEST_F(Storage, KeepsTheNewest500) {
    // 500 calls, the newest ten minutes ago, a minute apart: fill0 (the oldest) to fill499.
    FillCallLog(500, 10, 1);
    Dial(L"5550123");
    HANDLE log = OpenLog();
    DWORD last = 0;
    ASSERT_EQ(S_OK, phone.Seek(log, CALLLOGSEEK_END, 0, &last));
    EXPECT_EQ(499u, last);
    EXPECT_EQ(L"fill1", ReadNext(phone, log).number);
    ASSERT_EQ(S_OK, phone.Seek(log, CALLLOGSEEK_BEGINNING, 0, &last));
    EXPECT_EQ(L"5550123", ReadNext(phone, log).number);
    EXPECT_EQ(L"fill499", ReadNext(phone, log).number);

    // Older than every call kept: not kept.
    Dial(L"5550999 --ago 100000");
    // Between the kept ones: in its place, and the oldest goes.
    Dial(L"5550777 --ago 200");
    log = OpenLog();
    Read end;
    std::vector<Read> entries = ReadToEnd(phone, log, &end);
    EXPECT_EQ(S_FALSE, end.hr);
    ASSERT_EQ(500u, entries.size());
    EXPECT_EQ(L"5550123", entries[0].number);
    EXPECT_EQ(L"fill2", entries[499].number);
    size_t placed = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_NE(L"5550999", entries[i].number);
        if (entries[i].number == L"5550777")
            placed = i;
        if (i > 0) {
            EXPECT_GE(Ticks(entries[i - 1].entry.ftStartTime), Ticks(entries[i].entry.ftStartTime))
                << i;
        }
    }
    // After the call dialled now and the 190 filled calls of the last 200 minutes.
    EXPECT_EQ(191u, placed);
}

TEST_F(Storage, ADamagedEntryFailsAndTheNextOneStillReads) {
    Dial(L"1 --ago 3");
    Dial(L"2 --ago 2");
    Dial(L"3 --ago 1");
    // Slots 0 to 2, the middle call in slot 1.
    std::wstring whole = StoredOutgoingCall(L"2", 2);
    std::wstring cut = whole.substr(0, whole.find(L"cidt="));
    std::wstring badDate = whole;
    badDate.replace(6, 10, L"2026-02-30");
    std::wstring badKind = whole;
    badKind.replace(badKind.find(L"iom=outgoing"), 12, L"iom=answered");
    struct Damage {
        const char* what;
        DWORD type;
        std::wstring text;
        DWORD bytes;
    };
    std::vector<Damage> damages = {
        {"text", REG_SZ, L"garbage", 16},
        {"strings missing", REG_MULTI_SZ, cut, 0},
        // The last string cut short; the writer adds a terminator only when the character
        // after the data is one.
        {"unterminated", REG_MULTI_SZ, whole.substr(0, whole.size() - 2) + L"xx",
         static_cast<DWORD>((whole.size() - 2) * sizeof(wchar_t))},
        {"odd length", REG_BINARY, L"ab", 3},
        {"no date", REG_MULTI_SZ, badDate, 0},
        {"unknown kind", REG_MULTI_SZ, badKind, 0},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        DWORD bytes =
            damage.bytes ? damage.bytes : static_cast<DWORD>(damage.text.size() * sizeof(wchar_t));
        StoreSlot(1, damage.type, damage.text.data(), bytes);
        HANDLE log = OpenLog();
        EXPECT_EQ(L"3", ReadNext(phone, log).number);
        Read damaged = ReadNext(phone, log);
        EXPECT_EQ(E_FAIL, damaged.hr);
        EXPECT_FALSE(damaged.hasNumber);
        Read oldest = ReadNext(phone, log);
        EXPECT_EQ(S_OK, oldest.hr);
        EXPECT_EQ(L"1", oldest.number);
        EXPECT_EQ(S_FALSE, ReadNext(phone, log).hr);

        ProcessResult printed = Phone(L"calllog");
        EXPECT_EQ(0u, printed.exitCode);
        EXPECT_NE(std::string::npos, printed.output.find("{\"damaged\":true}")) << printed.output;
    }
    // A missing entry in the middle is damage too.
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kCallLogPath, L"Entry001");
    HANDLE log = OpenLog();
    EXPECT_EQ(S_OK, ReadNext(phone, log).hr);
    EXPECT_EQ(E_FAIL, ReadNext(phone, log).hr);
    EXPECT_EQ(S_OK, ReadNext(phone, log).hr);

    // "Next" that does not read leaves no order: one failure, then the end; the next call
    // starts the log again.
    for (DWORD next : {3u, 500u}) {
        if (next == 3u)
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, kCallLogPath, L"Next", REG_SZ, L"3", 4);
        else
            StoreNext(next);
        log = OpenLog();
        EXPECT_EQ(E_FAIL, ReadNext(phone, log).hr);
        EXPECT_EQ(S_FALSE, ReadNext(phone, log).hr);
        DWORD record = 0;
        EXPECT_EQ(E_FAIL, phone.Seek(log, CALLLOGSEEK_BEGINNING, 0, &record));
    }
    Dial(L"4");
    Read end;
    EXPECT_EQ(std::vector<std::wstring>{L"4"}, Numbers(ReadToEnd(phone, OpenLog(), &end)));
    EXPECT_EQ(S_FALSE, end.hr);

    // Without "Next" the entries left have no place: the log is empty, and starts again.
    Dial(L"5");
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kCallLogPath, L"Next");
    EXPECT_EQ(S_FALSE, ReadNext(phone, OpenLog()).hr);
    Dial(L"6");
    EXPECT_EQ(std::vector<std::wstring>{L"6"}, Numbers(ReadToEnd(phone, OpenLog(), &end)));
}

} // namespace

// ---- The log as the screening reads it ----

namespace {

// The phone's log and Vespera's settings (for "PauseEndedAt"), with the clock and the
// zone fixed: one hour east of UTC.
class LoggedCalls : public ScratchRegistry {
protected:
    void SetUp() override {
        ScratchRegistry::SetUp();
        ASSERT_EQ(0u, Phone(L"calllog clear").exitCode);
        TIME_ZONE_INFORMATION zone = {};
        zone.Bias = -60;
        SetTimeZoneForTesting(&zone);
    }
    void TearDown() override {
        SetLocalNowForTesting(nullptr);
        SetTimeZoneForTesting(nullptr);
        Phone(L"calllog clear");
        ScratchRegistry::TearDown();
    }

    // A local time on 8 December 2026, that many minutes (and seconds) on from 13:42.
    static SYSTEMTIME Local(int minutes, int seconds = 0) {
        SYSTEMTIME base = {2026, 12, 0, 8, 13, 42, 0, 0};
        FILETIME file = {};
        SystemTimeToFileTime(&base, &file);
        ULARGE_INTEGER ticks = {{file.dwLowDateTime, file.dwHighDateTime}};
        ticks.QuadPart += static_cast<LONGLONG>(minutes * 60 + seconds) * kTicksPerSecond;
        file = {ticks.LowPart, ticks.HighPart};
        SYSTEMTIME local = {};
        FileTimeToSystemTime(&file, &local);
        return local;
    }
    static std::wstring Call(const wchar_t* number, const SYSTEMTIME& start, bool outgoing = true) {
        ULONGLONG ticks = 0;
        EXPECT_EQ(S_OK, LocalToUniversal(start, &ticks));
        return StoredCall(number, {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)},
                          outgoing);
    }
    static CallLogFacts Look(const wchar_t* number, DWORD days, const SYSTEMTIME& now) {
        PhoneCallLog log;
        CallLogFacts facts;
        EXPECT_EQ(S_OK, log.Look(number, days, now, &facts));
        return facts;
    }
};

} // namespace

// Only outgoing calls count, compared by the caller's digits, within the days back from
// now to the second; the newest such call is the one told.
TEST_F(LoggedCalls, ANumberTheUserCalledCountsWithinTheDays) {
    StoreCallLog({Call(L"+44 20 7946 0018", Local(-3 * 1440)), Call(L"020 7946 0018", Local(-1440)),
                  Call(L"5550142", Local(-30), false)});
    CallLogFacts facts = Look(L"0044 20 7946 0018", 1, Local(0));
    EXPECT_TRUE(facts.called) << "exactly one day ago";
    EXPECT_EQ(7, facts.calledAt.wDay);
    EXPECT_EQ(13, facts.calledAt.wHour) << "told in local time";
    EXPECT_FALSE(Look(L"0044 20 7946 0018", 1, Local(0, 1)).called);
    facts = Look(L"02079460018", 7, Local(0, 1));
    EXPECT_TRUE(facts.called);
    EXPECT_EQ(7, facts.calledAt.wDay) << "the newest";
    EXPECT_FALSE(Look(L"5550142", 30, Local(0)).called) << "a call the user did not make";
    EXPECT_FALSE(Look(nullptr, 30, Local(0)).called);
    EXPECT_FALSE(Look(L"02079460018", 0, Local(0)).called) << "the option is off";
}

// Two hours from the emergency call's start, to the minute, unless the user resumed
// screening after the call began; an incoming call from the services is no pause.
TEST_F(LoggedCalls, ThePauseAfterAnEmergencyCallLastsTwoHoursOrUntilResumed) {
    StoreCallLog(
        {Call(L"999", Local(-30), false), Call(L"112", Local(0)), Call(L"5550142", Local(5))});
    EXPECT_FALSE(Look(nullptr, 0, Local(-2)).paused) << "before the call";
    CallLogFacts facts = Look(nullptr, 0, Local(0));
    EXPECT_TRUE(facts.paused) << "its first minute";
    EXPECT_EQ(15, facts.pausedUntil.wHour);
    EXPECT_EQ(42, facts.pausedUntil.wMinute);
    EXPECT_EQ(13, facts.emergencyAt.wHour);
    EXPECT_TRUE(Look(nullptr, 0, Local(119, 59)).paused) << "its last minute";
    EXPECT_FALSE(Look(nullptr, 0, Local(120)).paused) << "over";
    EXPECT_TRUE(Look(L"5550199", 7, Local(60)).paused) << "asked with a number too";

    ASSERT_EQ(S_OK, WritePauseEndedAt(Local(-1)));
    EXPECT_TRUE(Look(nullptr, 0, Local(10)).paused) << "resumed before the call";
    ASSERT_EQ(S_OK, WritePauseEndedAt(Local(0)));
    EXPECT_FALSE(Look(nullptr, 0, Local(10)).paused) << "resumed in the call's second";
    ASSERT_EQ(ERROR_SUCCESS,
              SetRawString(L"Software\\Quorvane\\Vespera", L"PauseEndedAt", L"soon"));
    EXPECT_TRUE(Look(nullptr, 0, Local(10)).paused) << "a value that does not read";
}

// Damage is no call: a damaged entry is passed over, a log without order tells
// nothing, and a call dated after now proves nothing.
TEST_F(LoggedCalls, ADamagedLogTellsNothingAndNeverFails) {
    StoreCallLog({Call(L"112", Local(-10)), Call(L"5550142", Local(-5)), Call(L"112", Local(30))});
    StoreSlot(1, REG_SZ, L"garbage", 16);
    CallLogFacts facts = Look(L"5550142", 1, Local(0));
    EXPECT_TRUE(facts.paused) << "the call before the damaged entry";
    EXPECT_EQ(32, facts.emergencyAt.wMinute) << "not the one dated in the future";
    EXPECT_FALSE(facts.called);
    StoreNext(700);
    EXPECT_FALSE(Look(L"5550142", 1, Local(0)).paused);
    StoreSlot(0, REG_BINARY, "\x01", 1);
    StoreNext(1);
    EXPECT_FALSE(Look(nullptr, 0, Local(0)).paused);
}
