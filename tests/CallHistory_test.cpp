// The call history's stored ring: the format, wrap-around at 200, malformed and foreign
// values, and two processes writing at once.
#include "store/CallHistory.h"
#include "support/Processes.h"
#include "support/ScratchRegistry.h"
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace {

const wchar_t kHistory[] = L"Software\\Quorvane\\Vespera\\History";

SYSTEMTIME At(WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME time = {};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    return time;
}

HRESULT AppendCall(const SYSTEMTIME& when, const std::wstring& number, bool refused = true) {
    CallRecord record;
    HRESULT hr = record.Set(when, refused, refused ? CallReason::Unknown : CallReason::Contact,
                            number.c_str(), L"", L"Contacts only", 2);
    return SUCCEEDED(hr) ? CallHistory::Append(record) : hr;
}

std::wstring MultiString(std::initializer_list<std::wstring> texts) {
    std::wstring data;
    for (const std::wstring& text : texts) {
        data += text;
        data.push_back(L'\0');
    }
    data.push_back(L'\0');
    return data;
}

class CallHistoryTest : public ScratchRegistry {
protected:
    DWORD RawNext() {
        DWORD type = 0;
        std::string bytes;
        if (!GetRaw(kHistory, L"Next", &type, &bytes) || type != REG_DWORD || bytes.size() != 4)
            return 0xFFFFFFFF;
        return *reinterpret_cast<const DWORD*>(bytes.data());
    }
    LONG SetMulti(const wchar_t* name, const std::wstring& data, DWORD type = REG_MULTI_SZ,
                  DWORD trimBytes = 0) {
        return SetRaw(kHistory, name, type, data.data(),
                      static_cast<DWORD>(data.size() * sizeof(wchar_t)) - trimBytes);
    }
    std::vector<std::wstring> Numbers() {
        CallRecords records;
        EXPECT_EQ(S_OK, CallHistory::Read(&records));
        std::vector<std::wstring> numbers;
        for (const auto& record : records)
            numbers.push_back(record->number);
        return numbers;
    }
};

} // namespace

TEST_F(CallHistoryTest, RecordsKeepTheirSevenTextsAndTheNewestTwoHundred) {
    CallRecords records;
    ASSERT_EQ(S_OK, CallHistory::Read(&records));
    EXPECT_TRUE(records.empty()) << "no key yet";

    // The stored form, byte for byte; a withheld number is an empty text inside it.
    CallRecord withheld;
    ASSERT_EQ(S_OK, withheld.Set(At(8, 9, 5, 7), false, CallReason::Talking, nullptr, L"",
                                 L"Do not disturb", 1));
    ASSERT_EQ(S_OK, CallHistory::Append(withheld));
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(GetRaw(kHistory, L"Call000", &type, &bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
    std::wstring stored = MultiString(
        {L"2026-12-08 09:05:07", L"allowed", L"talking", L"", L"", L"Do not disturb", L"1"});
    EXPECT_EQ(stored, std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()),
                                   bytes.size() / sizeof(wchar_t)));
    EXPECT_EQ(1u, RawNext());
    DWORD unread = 7;
    ASSERT_EQ(S_OK, CallHistory::ReadUnread(&unread));
    EXPECT_EQ(0u, unread) << "a call let through is no unread refusal";

    // 205 records more: the ring wraps and the oldest go.
    for (int i = 0; i < 205; ++i)
        ASSERT_EQ(S_OK, AppendCall(At(9, 10, i / 60, i % 60), L"n" + std::to_wstring(i), i % 5))
            << i;
    EXPECT_EQ(6u, RawNext());
    std::vector<std::wstring> numbers = Numbers();
    ASSERT_EQ(200u, numbers.size());
    EXPECT_EQ(L"n204", numbers.front());
    EXPECT_EQ(L"n5", numbers.back());
    ASSERT_EQ(S_OK, CallHistory::ReadUnread(&unread));
    EXPECT_EQ(164u, unread) << "four in five refused";

    ASSERT_EQ(S_OK, CallHistory::Read(&records));
    EXPECT_STREQ(L"2026-12-09 10:03:24", records.front()->time);
    EXPECT_TRUE(records.front()->refused);
    EXPECT_EQ(CallReason::Unknown, records.front()->reason);
    EXPECT_STREQ(L"Contacts only", records.front()->profileName);
    EXPECT_EQ(2u, records.front()->mode);

    // What was shown is seen; a refusal recorded after the list was read is not.
    DWORD shown = 0;
    ASSERT_EQ(S_OK, CallHistory::Read(&records, &shown));
    EXPECT_EQ(164u, shown);
    ASSERT_EQ(S_OK, AppendCall(At(9, 10, 4, 0), L"meanwhile"));
    ASSERT_EQ(S_OK, CallHistory::MarkRead(shown));
    ASSERT_EQ(S_OK, CallHistory::ReadUnread(&unread));
    EXPECT_EQ(1u, unread);
    ASSERT_EQ(S_OK, CallHistory::MarkRead());
    ASSERT_EQ(S_OK, CallHistory::ReadUnread(&unread));
    EXPECT_EQ(0u, unread);
    ASSERT_EQ(S_OK, CallHistory::Clear());
    EXPECT_TRUE(Numbers().empty());
    EXPECT_EQ(0u, RawNext());
}

TEST_F(CallHistoryTest, MalformedAndForeignValuesAreSkippedAndNextIsRepaired) {
    ASSERT_EQ(S_OK, AppendCall(At(8, 10, 0, 0), L"first"));
    ASSERT_EQ(S_OK, AppendCall(At(8, 10, 0, 1), L"second"));
    ASSERT_EQ(S_OK, AppendCall(At(8, 10, 0, 2), L"third"));
    const std::wstring good =
        MultiString({L"2026-12-08 11:00:00", L"refused", L"all", L"x", L"", L"P", L"1"});
    // Slots after the newest good record, each wrong in its own way.
    EXPECT_EQ(0, SetMulti(L"Call003", good, REG_SZ));
    EXPECT_EQ(0, SetMulti(L"Call004", good, REG_MULTI_SZ, 1)); // odd length
    EXPECT_EQ(0, SetMulti(L"Call005", good, REG_MULTI_SZ, 2)); // list unterminated
    EXPECT_EQ(0, SetMulti(L"Call006", good.substr(0, good.size() - 3)));
    EXPECT_EQ(0, SetMulti(L"Call007", MultiString({L"2026-12-08 11:00:00", L"refused", L"maybe",
                                                   L"x", L"", L"P", L"1"})));
    EXPECT_EQ(0, SetMulti(L"Call008", MultiString({L"2026-13-08 11:00:00", L"refused", L"all", L"x",
                                                   L"", L"P", L"1"})));
    EXPECT_EQ(0, SetMulti(L"Call009", MultiString({L"2026-12-08 11:00:00", L"blocked", L"all", L"x",
                                                   L"", L"P", L"1"})));
    EXPECT_EQ(0, SetMulti(L"Call010", MultiString({L"2026-12-08 11:00:00", L"refused", L"all", L"x",
                                                   L"", L"P", L"-1"})));
    EXPECT_EQ(0, SetMulti(L"Call011", MultiString({L"2026-12-08 11:00:00", L"refused", L"all"})));

    for (const wchar_t* next : {L"", L"500", L"short"}) {
        SCOPED_TRACE(testing::Message() << "Next \"" << next << "\"");
        if (!*next)
            EXPECT_EQ(0, SetRawString(kHistory, L"Next", L"3"));
        else if (next[0] == L'5')
            EXPECT_EQ(0, SetRawDword(kHistory, L"Next", 500));
        else
            EXPECT_EQ(0, SetRaw(kHistory, L"Next", REG_DWORD, "\x03\x00", 2));
        EXPECT_EQ((std::vector<std::wstring>{L"third", L"second", L"first"}), Numbers());
    }
    // The next record goes after the newest readable one, and "Next" is whole again.
    ASSERT_EQ(S_OK, AppendCall(At(8, 10, 0, 3), L"fourth"));
    EXPECT_EQ(4u, RawNext());
    EXPECT_EQ((std::vector<std::wstring>{L"fourth", L"third", L"second", L"first"}), Numbers());

    // A foreign count reads as none and is counted on from 0.
    EXPECT_EQ(0, SetRawString(kHistory, L"Unread", L"lots"));
    DWORD unread = 9;
    ASSERT_EQ(S_OK, CallHistory::ReadUnread(&unread));
    EXPECT_EQ(0u, unread);
    ASSERT_EQ(S_OK, AppendCall(At(8, 10, 0, 4), L"fifth"));
    ASSERT_EQ(S_OK, CallHistory::ReadUnread(&unread));
    EXPECT_EQ(1u, unread);
}

// Two processes, each appending 100 records at once to the real per-user history.
TEST(CallHistoryProcesses, TwoWritersAtOnceLoseNoRecord) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kHistory);
    const wchar_t kGo[] = L"VesperaTests.HistoryGo";
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, kGo);
    ASSERT_NE(nullptr, go);
    wchar_t self[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameW(nullptr, self, MAX_PATH));
    std::wstring directory(self);
    directory.resize(directory.find_last_of(L'\\') + 1);
    ChildProcess first, second;
    ASSERT_TRUE(first.Start(L"\"" + directory + L"historywriter.exe\" a 100 " + kGo));
    ASSERT_TRUE(second.Start(L"\"" + directory + L"historywriter.exe\" b 100 " + kGo));
    SetEvent(go);
    DWORD firstCode = 1, secondCode = 1;
    EXPECT_TRUE(first.Wait(60000, &firstCode));
    EXPECT_TRUE(second.Wait(60000, &secondCode));
    CloseHandle(go);
    EXPECT_EQ(0u, firstCode);
    EXPECT_EQ(0u, secondCode);

    CallRecords records;
    ASSERT_EQ(S_OK, CallHistory::Read(&records));
    std::set<std::wstring> numbers;
    for (const auto& record : records)
        numbers.insert(record->number);
    EXPECT_EQ(200u, records.size());
    EXPECT_EQ(200u, numbers.size()) << "a record was overwritten";
    DWORD unread = 0;
    ASSERT_EQ(S_OK, CallHistory::ReadUnread(&unread));
    EXPECT_EQ(200u, unread);
    RegDeleteTreeW(HKEY_CURRENT_USER, kHistory);
}
