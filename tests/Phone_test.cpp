// The emulated phone as programs meet it: phone.exe rings, the broker's stored requests
// start programs or message their windows, End refuses the call, the state is cleared.
#include "support/Phone.h"
#include "support/Processes.h"
#include <gtest/gtest.h>
#include <regext.h>
#include <snapi.h>
#include <algorithm>
#include <map>
#include <vector>

namespace {

const wchar_t kProbeRoot[] = L"Software\\PhoneEmulatorTests\\Probe";
// Where the emulated broker keeps its requests.
const wchar_t kRequests[] = L"Software\\PhoneEmulator\\Notifications";
const UINT kProbeMessage = WM_USER + 1;

// The raw text of one member of a flat JSON line: strings unquoted, everything else as
// written ("null", numbers, arrays).
std::string JsonMember(const std::string& line, const std::string& name) {
    std::string key = "\"" + name + "\":";
    size_t at = line.find(key);
    if (at == std::string::npos)
        return "<missing>";
    at += key.size();
    std::string value;
    if (line[at] == '"') {
        for (size_t i = at + 1; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size())
                ++i;
            value.push_back(line[i]);
        }
        return value;
    }
    size_t end = line.find_first_of(",}", at);
    return line.substr(at, end - at);
}

// The last line printed that looks like a JSON report.
std::string ReportLine(const std::string& output) {
    std::string last;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::string line = output.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '{')
            last = line;
        start = end + 1;
    }
    return last;
}

std::wstring ProbeCommand(const std::wstring& tag, const std::wstring& options = L"") {
    return L"\"" + (BinDirectory() + L"\\..\\tests\\notifyprobe.exe") + L"\" " + tag + options;
}

struct ProbeRun {
    std::wstring commandLine;
    std::map<std::wstring, DWORD> numbers;      // "Message", "WParam", "SeenStatus", "SeenOid"
    std::map<std::wstring, std::wstring> texts; // "SeenNumber", "SeenName"
};

// What every started probe of this tag recorded, one entry per process.
std::vector<ProbeRun> ProbeRuns(const std::wstring& tag) {
    std::vector<ProbeRun> runs;
    HKEY probes = nullptr;
    std::wstring path = std::wstring(kProbeRoot) + L"\\" + tag;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &probes) != ERROR_SUCCESS)
        return runs;
    for (DWORD index = 0;; ++index) {
        wchar_t name[32];
        DWORD chars = ARRAYSIZE(name);
        if (RegEnumKeyExW(probes, index, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        HKEY run = nullptr;
        if (RegOpenKeyExW(probes, name, 0, KEY_READ, &run) != ERROR_SUCCESS)
            continue;
        ProbeRun probe;
        for (DWORD v = 0;; ++v) {
            wchar_t valueName[64];
            DWORD valueChars = ARRAYSIZE(valueName);
            BYTE data[1024] = {};
            DWORD size = sizeof(data) - sizeof(wchar_t);
            DWORD type = 0;
            if (RegEnumValueW(run, v, valueName, &valueChars, nullptr, &type, data, &size) !=
                ERROR_SUCCESS)
                break;
            if (type == REG_DWORD)
                probe.numbers[valueName] = *reinterpret_cast<DWORD*>(data);
            else if (wcscmp(valueName, L"CommandLine") == 0)
                probe.commandLine = reinterpret_cast<wchar_t*>(data);
            else
                probe.texts[valueName] = reinterpret_cast<wchar_t*>(data);
        }
        RegCloseKey(run);
        runs.push_back(probe);
    }
    RegCloseKey(probes);
    return runs;
}

HRESULT Register(LPCWSTR name, const std::wstring& command, LPCWSTR windowClass, LPCWSTR title,
                 REG_COMPARISONTYPE comparison, DWORD mask, DWORD target, DWORD flags = 0,
                 UINT message = kProbeMessage) {
    NOTIFICATIONCONDITION condition = {};
    condition.ctComparisonType = comparison;
    condition.dwMask = mask;
    condition.TargetValue.dw = target;
    return RegistryNotifyApp(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONESTATUS_VALUE, name,
                             command.c_str(), windowClass, title, message, flags, &condition);
}

// The usual request for an incoming call: the bit appears.
HRESULT RegisterIncoming(LPCWSTR name, const std::wstring& command, LPCWSTR windowClass = nullptr,
                         LPCWSTR title = nullptr, DWORD flags = 0) {
    return Register(name, command, windowClass, title, REG_CT_EQUAL, SN_PHONEINCOMINGCALL_BITMASK,
                    SN_PHONEINCOMINGCALL_BITMASK, flags);
}

bool StateValueExists(LPCWSTR name) {
    return RegGetValueW(SN_PHONE_ROOT, SN_PHONE_PATH, name, RRF_RT_ANY, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
}

DWORD Status() {
    DWORD value = 0xDEADBEEF;
    DWORD size = sizeof(value);
    RegGetValueW(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONESTATUS_VALUE, RRF_RT_REG_DWORD, nullptr,
                 &value, &size);
    return value;
}

void SetStatus(DWORD value) {
    RegSetKeyValueW(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONESTATUS_VALUE, REG_DWORD, &value,
                    sizeof(value));
}

// Waits until a ring has set the incoming-call bit.
bool WaitForRinging(DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (DWORD status = Status(); status == 0xDEADBEEF || !(status & SN_PHONEINCOMINGCALL_BITMASK);
         status = Status()) {
        if (GetTickCount64() > deadline)
            return false;
        Sleep(5);
    }
    return true;
}

std::wstring PhoneCommand(const std::wstring& arguments) {
    return L"\"" + BinPath(L"phone.exe") + L"\" " + arguments;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class PhoneTest : public testing::Test {
protected:
    void SetUp() override {
        // No request of another test may fire here.
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRequests);
        RegDeleteTreeW(HKEY_CURRENT_USER, kProbeRoot);
        SetStatus(0);
        RegDeleteKeyValueW(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONEINCOMINGCALLERNUMBER_VALUE);
        RegDeleteKeyValueW(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONEINCOMINGCALLERNAME_VALUE);
        RegDeleteKeyValueW(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONEINCOMINGCALLEROID_VALUE);
        // No caller is a contact unless the test says so.
        ASSERT_EQ(0u, Phone(L"contacts clear").exitCode);
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRequests);
        RegDeleteTreeW(HKEY_CURRENT_USER, kProbeRoot);
    }
};

using Broker = PhoneTest;
using Call = PhoneTest;
using CallerMatch = PhoneTest;

TEST_F(Broker, StartsTheCommandWithTheNameThenMessagesItsWindow) {
    ASSERT_EQ(S_OK,
              RegisterIncoming(L"Phone.Test",
                               ProbeCommand(L"win", L" --window ProbeClass ProbeTitle --refuse"),
                               L"ProbeClass", L"ProbeTitle"));
    ProcessResult result = Phone(L"ring 5550100 --ring-ms 30000");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(0u, result.exitCode) << result.output;
    std::string report = ReportLine(result.output);
    EXPECT_EQ("refused", JsonMember(report, "outcome")) << result.output;
    EXPECT_EQ("5550100", JsonMember(report, "number"));
    EXPECT_NE("null", JsonMember(report, "ms"));

    std::vector<ProbeRun> runs = ProbeRuns(L"win");
    ASSERT_EQ(1u, runs.size());
    EXPECT_TRUE(EndsWith(runs[0].commandLine, L" Phone.Test")) << Narrow(runs[0].commandLine);
    EXPECT_EQ(kProbeMessage, runs[0].numbers[L"Message"]);
    EXPECT_EQ(static_cast<DWORD>(SN_PHONEINCOMINGCALL_BITMASK), runs[0].numbers[L"WParam"]);
    // The caller was presented before the bit woke the program.
    EXPECT_EQ(L"5550100", runs[0].texts[L"SeenNumber"]);
    EXPECT_EQ(static_cast<DWORD>(SN_PHONEINCOMINGCALL_BITMASK), runs[0].numbers[L"SeenStatus"]);
}

TEST_F(Broker, MessagesAnExistingWindowWithoutStartingTheCommand) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PhoneTestWindow";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(L"PhoneTestWindow", L"Phone Test", WS_OVERLAPPEDWINDOW, 0, 0, 50,
                                50, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    ASSERT_EQ(S_OK, RegisterIncoming(L"Phone.Window", ProbeCommand(L"never"), L"PhoneTestWindow",
                                     L"Phone Test"));

    ProcessResult result = Phone(L"ring 5550100 --ring-ms 200");
    EXPECT_EQ("rang-out", JsonMember(ReportLine(result.output), "outcome")) << result.output;
    EXPECT_TRUE(ProbeRuns(L"never").empty());
    MSG message = {};
    ASSERT_TRUE(PeekMessageW(&message, window, kProbeMessage, kProbeMessage, PM_REMOVE));
    EXPECT_EQ(static_cast<WPARAM>(SN_PHONEINCOMINGCALL_BITMASK), message.wParam);
    DestroyWindow(window);
}

TEST_F(Broker, WithoutWindowStartsTheCommandAndHonoursTheNoNameFlag) {
    ASSERT_EQ(S_OK, RegisterIncoming(L"Phone.Named", ProbeCommand(L"named", L" --refuse")));
    ASSERT_EQ(S_OK, RegisterIncoming(L"Phone.Nameless", ProbeCommand(L"nameless"), nullptr, nullptr,
                                     RNAF_NONAMEONCMDLINE));
    ProcessResult result = Phone(L"ring 5550100 --ring-ms 30000");
    EXPECT_EQ("refused", JsonMember(ReportLine(result.output), "outcome")) << result.output;

    std::vector<ProbeRun> named = ProbeRuns(L"named");
    ASSERT_EQ(1u, named.size());
    EXPECT_TRUE(EndsWith(named[0].commandLine, L"named --refuse Phone.Named"))
        << Narrow(named[0].commandLine);
    std::vector<ProbeRun> nameless = ProbeRuns(L"nameless");
    ASSERT_EQ(1u, nameless.size());
    EXPECT_EQ(std::wstring::npos, nameless[0].commandLine.find(L"Phone.Nameless"));
}

TEST_F(Broker, FiresOnEveryChangeAfterWhichTheConditionHolds) {
    // A ring is two changes of "Status": the bit appears, then it goes.
    ASSERT_EQ(S_OK, Register(L"Phone.Any", ProbeCommand(L"any"), nullptr, nullptr, REG_CT_ANYCHANGE,
                             0, 0));
    ASSERT_EQ(S_OK,
              Register(L"Phone.Gone", ProbeCommand(L"gone"), nullptr, nullptr, REG_CT_NOT_EQUAL,
                       SN_PHONEINCOMINGCALL_BITMASK, SN_PHONEINCOMINGCALL_BITMASK));
    ASSERT_EQ(S_OK, Register(L"Phone.Talk", ProbeCommand(L"talk"), nullptr, nullptr, REG_CT_EQUAL,
                             SN_PHONECALLTALKING_BITMASK, SN_PHONECALLTALKING_BITMASK));
    // A request on another key never fires for the phone's state.
    NOTIFICATIONCONDITION any = {REG_CT_ANYCHANGE, 0, {nullptr}};
    ASSERT_EQ(S_OK, RegistryNotifyApp(HKEY_CURRENT_USER, SN_PHONE_PATH, SN_PHONESTATUS_VALUE,
                                      L"Phone.Elsewhere", ProbeCommand(L"elsewhere").c_str(),
                                      nullptr, nullptr, kProbeMessage, 0, &any));

    ProcessResult result = Phone(L"ring 5550100 --ring-ms 50");
    EXPECT_EQ("rang-out", JsonMember(ReportLine(result.output), "outcome")) << result.output;
    EXPECT_EQ(2u, ProbeRuns(L"any").size());
    EXPECT_EQ(1u, ProbeRuns(L"gone").size());
    EXPECT_EQ(0u, ProbeRuns(L"talk").size());
    EXPECT_EQ(0u, ProbeRuns(L"elsewhere").size());
}

TEST_F(Call, RingsOutWhenNothingRefuses) {
    ProcessResult result = Phone(L"ring 5550100 --ring-ms 50");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(0u, result.exitCode);
    std::string report = ReportLine(result.output);
    EXPECT_EQ("rang-out", JsonMember(report, "outcome")) << result.output;
    EXPECT_EQ("null", JsonMember(report, "ms"));
    EXPECT_EQ("0", JsonMember(report, "oid"));
}

TEST_F(Call, WithheldPresentsNoNumberAndClearsTheStateAfterwards) {
    ASSERT_EQ(S_OK, RegisterIncoming(L"Phone.Probe", ProbeCommand(L"withheld", L" --refuse")));
    ProcessResult result = Phone(L"ring --withheld --ring-ms 30000");
    std::string report = ReportLine(result.output);
    EXPECT_EQ("null", JsonMember(report, "number")) << result.output;
    // The phone's own errors (a program it could not start, or one that crashed) say why
    // a call rang out.
    EXPECT_EQ("refused", JsonMember(report, "outcome")) << result.output;

    std::vector<ProbeRun> runs = ProbeRuns(L"withheld");
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(0u, runs[0].texts.count(L"SeenNumber"));
    EXPECT_EQ(0u, runs[0].numbers.count(L"SeenOid"));
    EXPECT_EQ(0u, Status());
    EXPECT_FALSE(StateValueExists(SN_PHONEINCOMINGCALLERNUMBER_VALUE));
    EXPECT_FALSE(StateValueExists(SN_PHONEINCOMINGCALLEROID_VALUE));
}

TEST_F(Call, WhileTalkingBothBitsAreSetAndTheEarlierStatusComesBack) {
    SetStatus(SN_PHONECALLONHOLD_BITMASK);
    // The probe reads the state, then ends the ring.
    ASSERT_EQ(S_OK, RegisterIncoming(L"Phone.Probe", ProbeCommand(L"talking", L" --refuse")));
    ProcessResult result = Phone(L"ring 5550100 --while-talking --ring-ms 30000");
    EXPECT_EQ("refused", JsonMember(ReportLine(result.output), "outcome")) << result.output;

    std::vector<ProbeRun> runs = ProbeRuns(L"talking");
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(static_cast<DWORD>(SN_PHONECALLONHOLD_BITMASK | SN_PHONECALLTALKING_BITMASK |
                                 SN_PHONEINCOMINGCALL_BITMASK),
              runs[0].numbers[L"SeenStatus"]);
    EXPECT_EQ(static_cast<DWORD>(SN_PHONECALLONHOLD_BITMASK), Status());
    EXPECT_FALSE(StateValueExists(SN_PHONEINCOMINGCALLERNUMBER_VALUE));
    EXPECT_FALSE(StateValueExists(SN_PHONEINCOMINGCALLERNAME_VALUE));
}

TEST_F(Call, BackToBackCallsEachEndOnTheirOwn) {
    ASSERT_EQ(S_OK, RegisterIncoming(L"Phone.Probe", ProbeCommand(L"twice", L" --refuse")));
    for (int call = 0; call < 2; ++call) {
        ProcessResult result = Phone(L"ring 5550100 --ring-ms 30000");
        EXPECT_EQ("refused", JsonMember(ReportLine(result.output), "outcome")) << result.output;
    }
    RegistryStopNotification(L"Phone.Probe");
    ProcessResult result = Phone(L"ring 5550100 --ring-ms 50");
    EXPECT_EQ("rang-out", JsonMember(ReportLine(result.output), "outcome")) << result.output;
    EXPECT_EQ(2u, ProbeRuns(L"twice").size());
}

TEST_F(Call, OverlappingRingsTakeTurnsEachWithItsOwnCaller) {
    // Each call rings until its probe has read the state and pressed End.
    ASSERT_EQ(S_OK, RegisterIncoming(L"Phone.Probe", ProbeCommand(L"overlap", L" --refuse")));
    ChildProcess first;
    ASSERT_TRUE(first.Start(PhoneCommand(L"ring 5550199 --ring-ms 30000")));
    ASSERT_TRUE(WaitForRinging(30000));
    ProcessResult second = Phone(L"ring 5550100 --ring-ms 30000");
    // The second call could ring only once the first had ended.
    EXPECT_TRUE(first.Wait(0));
    EXPECT_EQ("refused", JsonMember(ReportLine(second.output), "outcome")) << second.output;

    std::vector<ProbeRun> runs = ProbeRuns(L"overlap");
    ASSERT_EQ(2u, runs.size());
    std::vector<std::wstring> seen = {runs[0].texts[L"SeenNumber"], runs[1].texts[L"SeenNumber"]};
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ((std::vector<std::wstring>{L"5550100", L"5550199"}), seen);
    for (ProbeRun& run : runs)
        EXPECT_EQ(static_cast<DWORD>(SN_PHONEINCOMINGCALL_BITMASK), run.numbers[L"SeenStatus"]);
    EXPECT_EQ(0u, Status());
}

TEST_F(Call, ARingKilledMidCallIsClearedByTheNextRing) {
    SetStatus(SN_PHONECALLONHOLD_BITMASK);
    {
        ChildProcess ring;
        ASSERT_TRUE(ring.Start(PhoneCommand(L"ring 5550199 --while-talking --ring-ms 60000")));
        ASSERT_TRUE(WaitForRinging(30000));
    } // killed hard, with no chance to clear its call
    ASSERT_NE(0u, Status() & SN_PHONEINCOMINGCALL_BITMASK);

    ASSERT_EQ(S_OK, RegisterIncoming(L"Phone.Probe", ProbeCommand(L"after", L" --refuse")));
    ProcessResult next = Phone(L"ring 5550100 --ring-ms 30000");
    EXPECT_EQ("refused", JsonMember(ReportLine(next.output), "outcome")) << next.output;
    std::vector<ProbeRun> runs = ProbeRuns(L"after");
    ASSERT_EQ(1u, runs.size());
    // The dead call's talking bit and caller are gone; the held call stays.
    EXPECT_EQ(static_cast<DWORD>(SN_PHONECALLONHOLD_BITMASK | SN_PHONEINCOMINGCALL_BITMASK),
              runs[0].numbers[L"SeenStatus"]);
    EXPECT_EQ(L"5550100", runs[0].texts[L"SeenNumber"]);
    EXPECT_EQ(static_cast<DWORD>(SN_PHONECALLONHOLD_BITMASK), Status());
    EXPECT_FALSE(StateValueExists(SN_PHONEINCOMINGCALLERNUMBER_VALUE));
}

TEST_F(CallerMatch, TrailingDigitsFindTheContactWhateverTheFormatting) {
    wchar_t directory[MAX_PATH];
    GetTempPathW(ARRAYSIZE(directory), directory);
    std::wstring book = std::wstring(directory) + L"callermatch.vcf";
    HANDLE file = CreateFileW(book.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    const char cards[] =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ada\r\nTEL:+44 20 7946 0018\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bob\r\nTEL:555-0100\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\nTEL:+1 425 555 0100\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Help\r\nTEL:112\r\nEND:VCARD\r\n";
    DWORD written = 0;
    WriteFile(file, cards, sizeof(cards) - 1, &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(0u, Phone(L"contacts clear").exitCode);
    ASSERT_EQ(0u, Phone(L"contacts import \"" + book + L"\"").exitCode);
    std::map<std::string, std::string> oids;
    std::string list = Phone(L"contacts list").output;
    for (size_t at = 0; (at = list.find('{', at)) != std::string::npos; ++at) {
        std::string line = list.substr(at, list.find('}', at) - at + 1);
        oids[JsonMember(line, "name")] = JsonMember(line, "oid");
    }
    ASSERT_EQ(4u, oids.size());

    auto ringingOid = [](const wchar_t* number) {
        return JsonMember(
            ReportLine(Phone(std::wstring(L"ring \"") + number + L"\" --ring-ms 1").output), "oid");
    };
    // Through the number index, and as a database from before the index is searched.
    for (bool indexed : {true, false}) {
        SCOPED_TRACE(indexed);
        if (!indexed)
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\PhoneEmulator\\ContactIndex");
        // The national form of an international number.
        EXPECT_EQ(oids["Ada"], ringingOid(L"020 7946 0018"));
        EXPECT_EQ(oids["Ada"], ringingOid(L"0044 (20) 7946-0018"));
        // The contact sharing the most trailing digits wins; a tie goes to the older one.
        EXPECT_EQ(oids["Ann"], ringingOid(L"+1 (425) 555-0100"));
        EXPECT_EQ(oids["Bob"], ringingOid(L"5550100"));
        // Short codes match only in full.
        EXPECT_EQ(oids["Help"], ringingOid(L"112"));
        EXPECT_EQ("0", ringingOid(L"555 0112"));
        EXPECT_EQ("0", ringingOid(L"020 7946 0019"));
    }
    // The next import indexes the older database whole.
    ASSERT_EQ(0u, Phone(L"contacts import \"" + book + L"\"").exitCode);
    EXPECT_EQ(oids["Help"], ringingOid(L"112"));

    // While it rings, the phone state names the caller.
    ASSERT_EQ(S_OK, RegisterIncoming(L"Phone.Probe", ProbeCommand(L"caller", L" --refuse")));
    Phone(L"ring \"020 7946 0018\" --ring-ms 30000");
    std::vector<ProbeRun> runs = ProbeRuns(L"caller");
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(L"Ada", runs[0].texts[L"SeenName"]);
    EXPECT_EQ(L"020 7946 0018", runs[0].texts[L"SeenNumber"]);
    EXPECT_EQ(std::stoul(oids["Ada"]), runs[0].numbers[L"SeenOid"]);
    Phone(L"contacts clear");
}

TEST(PhoneCommand, UsageErrorsExitWithTwo) {
    for (const wchar_t* arguments : {L"",
                                     L"dial",
                                     L"dial 1 2",
                                     L"dial 1 --ago",
                                     L"dial 1 --ago 5256001",
                                     L"dial --loud 1",
                                     L"calllog wipe",
                                     L"calllog clear now",
                                     L"ring",
                                     L"ring --ring-ms 100",
                                     L"ring 1 --ring-ms",
                                     L"ring 1 --ring-ms 0",
                                     L"ring 1 --ring-ms 12x",
                                     L"ring 1 2",
                                     L"ring --withheld 1",
                                     L"ring 1 --loud",
                                     L"state now",
                                     L"device tablet",
                                     L"device --dpi 5",
                                     L"device --screen 240",
                                     L"contacts",
                                     L"contacts import",
                                     L"contacts wipe"}) {
        ProcessResult result = Phone(arguments);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(2u, result.exitCode) << Narrow(arguments);
        EXPECT_NE(std::string::npos, result.output.find("usage:")) << Narrow(arguments);
    }
}

TEST(PhoneCommand, DeviceFactsAreWrittenAndPrinted) {
    ProcessResult result = Phone(L"device pocketpc --screen 480x640 --dpi 192");
    EXPECT_EQ(0u, result.exitCode) << result.output;
    WCHAR type[32] = {};
    DWORD size = sizeof(type);
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\PhoneEmulator\\Device",
                                          L"PlatformType", RRF_RT_REG_SZ, nullptr, type, &size));
    EXPECT_STREQ(L"PocketPC", type);
    std::string report = ReportLine(Phone(L"device").output);
    EXPECT_EQ("480", JsonMember(report, "screenWidth"));
    EXPECT_EQ("192", JsonMember(report, "dpi"));

    report = ReportLine(Phone(L"device smartphone").output);
    EXPECT_EQ("SmartPhone", JsonMember(report, "platformType"));
    EXPECT_EQ("240", JsonMember(report, "screenWidth"));
    EXPECT_EQ("320", JsonMember(report, "screenHeight"));
    EXPECT_EQ("131", JsonMember(report, "dpi"));
}

TEST_F(Call, EveryRingIsAMissedCallInTheLog) {
    ASSERT_EQ(0u, Phone(L"calllog clear").exitCode);
    ASSERT_EQ(S_OK, RegisterIncoming(L"Phone.Probe", ProbeCommand(L"logged", L" --refuse")));
    EXPECT_EQ("refused",
              JsonMember(ReportLine(Phone(L"ring 5550100 --ring-ms 30000").output), "outcome"));
    RegistryStopNotification(L"Phone.Probe");
    EXPECT_EQ("rang-out",
              JsonMember(ReportLine(Phone(L"ring --withheld --ring-ms 1").output), "outcome"));

    std::string log = Phone(L"calllog").output;
    size_t second = log.find('\n');
    ASSERT_NE(std::string::npos, second) << log;
    std::string withheld = log.substr(0, second);
    std::string refused = ReportLine(log);
    EXPECT_EQ("missed", JsonMember(withheld, "iom")) << log;
    EXPECT_EQ("blocked", JsonMember(withheld, "cidt"));
    EXPECT_EQ("", JsonMember(withheld, "number"));
    EXPECT_EQ("missed", JsonMember(refused, "iom"));
    EXPECT_EQ("available", JsonMember(refused, "cidt"));
    EXPECT_EQ("5550100", JsonMember(refused, "number"));
    EXPECT_EQ("false", JsonMember(refused, "connected"));
    EXPECT_EQ("true", JsonMember(refused, "ended"));
    Phone(L"calllog clear");
}

TEST(PhoneCommand, DialLogsAnOutgoingCallAndCallLogPrintsNewestFirst) {
    ASSERT_EQ(0u, Phone(L"calllog clear").exitCode);
    ProcessResult dialled = Phone(L"dial 112 --ago 5");
    EXPECT_EQ(0u, dialled.exitCode) << dialled.output;
    EXPECT_EQ("outgoing", JsonMember(ReportLine(dialled.output), "iom"));
    ASSERT_EQ(0u, Phone(L"dial 5550100").exitCode);

    std::string log = Phone(L"calllog").output;
    size_t second = log.find('\n');
    ASSERT_NE(std::string::npos, second) << log;
    std::string newest = log.substr(0, second);
    std::string older = ReportLine(log);
    EXPECT_EQ("5550100", JsonMember(newest, "number")) << log;
    EXPECT_EQ("112", JsonMember(older, "number"));
    EXPECT_EQ("outgoing", JsonMember(older, "iom"));
    EXPECT_EQ("available", JsonMember(older, "cidt"));
    EXPECT_EQ("", JsonMember(older, "name"));
    EXPECT_EQ("true", JsonMember(older, "connected"));
    EXPECT_EQ(19u, JsonMember(older, "start").size()) << older;
    EXPECT_LT(JsonMember(older, "start"), JsonMember(newest, "start"));

    ASSERT_EQ(0u, Phone(L"calllog clear").exitCode);
    EXPECT_EQ("", ReportLine(Phone(L"calllog").output));
}

TEST_F(Call, StateCommandShowsTheIdlePhone) {
    std::string report = ReportLine(Phone(L"state").output);
    EXPECT_EQ("0", JsonMember(report, "status"));
    EXPECT_EQ("false", JsonMember(report, "incomingCall"));
    EXPECT_EQ("null", JsonMember(report, "number"));
}

} // namespace
