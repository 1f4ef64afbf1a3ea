// Costs of screening a call.
// 1. Through real processes: phone.exe rings, its broker starts the program named by the
//    request, and the phone reports the milliseconds from the ring to the End key. Vespera
//    in notification mode (a mode that refuses at once, and a category mode that opens the
//    contact store) and on the block-all fast path, each against endkey.exe, a program
//    started the same way that takes the same steps and only presses End.
// 2. In process: ScreenIncomingCall on profiles with long contact lists. "Status" keeps
//    the talking bit set meanwhile, so the refusals send no key to the desktop; every
//    case then pays the same read of "Status" and nothing else for the refusal.
// 3. The category test's first use of the contact store in a fresh process, step by step,
//    as a notification run meets it.
// Everything changed in the registry and the address book is put back at the end.
#include "platform/LazyProc.h"
#include "app/MainWindow.h"
#include "platform/Process.h"
#include "platform/ContactStore.h"
#include "screening/CallNotification.h"
#include "screening/ScreenIncomingCall.h"
#include "store/Profile.h"
#include "support/CallLog.h"
#include "support/Phone.h"
#include "support/PhoneState.h"
#include "support/Processes.h"
#include <common/BrokerStore.h>
#include <pimstore/ContactDb.h>
#include <snapi.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <string>
#include <vector>
#include <strsafe.h>

namespace {

const WCHAR kAppKey[] = L"Software\\Quorvane\\Vespera";
const WCHAR kActiveProfileValue[] = L"ActiveProfile";
const int kCalls = 30;
// "ring N" rings N calls a case instead, for a closer median; "ring N category" only the
// floor, BlockUnknown and the category modes, "ring N blockall" only the block-all path
// and its floor, so that more pairs fit in the same time; "ring N numbers" both, and
// BlockUnknown and the block-all path with the number lists full; "ring N calllog" the
// block-all path with the phone's call log empty and full.
int ringCalls = kCalls;
enum class RingSet { All, Category, BlockAll, Numbers, CallLog };
RingSet ringSet = RingSet::All;

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Percentile(std::vector<double> samples, double fraction) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    size_t at = static_cast<size_t>(fraction * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[at];
}

void PrintRow(const char* label, const std::vector<double>& samples, const char* unit) {
    std::printf("  %-48s min %8.2f  p10 %8.2f  median %8.2f  p90 %8.2f  max %8.2f %s (n=%zu)\n",
                label, Percentile(samples, 0), Percentile(samples, 0.1), Percentile(samples, 0.5),
                Percentile(samples, 0.9), Percentile(samples, 1), unit, samples.size());
}

// The values of one key without subkeys, put back whole by Restore.
class SavedKey {
public:
    SavedKey(HKEY root, std::wstring path) : root(root), path(std::move(path)) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, this->path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return;
        existed = true;
        for (DWORD index = 0;; ++index) {
            WCHAR name[256];
            DWORD chars = ARRAYSIZE(name), type = 0, bytes = 0;
            if (RegEnumValueW(key, index, name, &chars, nullptr, &type, nullptr, &bytes) !=
                ERROR_SUCCESS)
                break;
            Value value{name, type, std::vector<BYTE>(bytes)};
            chars = ARRAYSIZE(name);
            RegEnumValueW(key, index, name, &chars, nullptr, &type, value.data.data(), &bytes);
            values.push_back(value);
        }
        RegCloseKey(key);
    }
    void Restore() const {
        RegDeleteTreeW(root, path.c_str());
        RegDeleteKeyW(root, path.c_str());
        if (!existed)
            return;
        for (const Value& value : values)
            RegSetKeyValueW(root, path.c_str(), value.name.c_str(), value.type, value.data.data(),
                            static_cast<DWORD>(value.data.size()));
        if (values.empty()) {
            HKEY key = nullptr;
            if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                nullptr) == ERROR_SUCCESS)
                RegCloseKey(key);
        }
    }

private:
    struct Value {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    HKEY root;
    std::wstring path;
    bool existed = false;
    std::vector<Value> values;
};

// The per-user keys as they were: the active profile, and which keys of the path existed,
// so that keys this program created are removed again (only when left empty).
class SavedSettings {
public:
    SavedSettings() {
        for (const WCHAR* path : kPaths) {
            HKEY key = nullptr;
            bool exists =
                RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) == ERROR_SUCCESS;
            if (key)
                RegCloseKey(key);
            existed.push_back(exists);
        }
        WCHAR buffer[64];
        DWORD bytes = sizeof(buffer);
        hadActive = RegGetValueW(HKEY_CURRENT_USER, kAppKey, kActiveProfileValue, RRF_RT_REG_SZ,
                                 nullptr, buffer, &bytes) == ERROR_SUCCESS;
        if (hadActive)
            active = buffer;
    }
    void Restore() const {
        if (hadActive)
            SetActive(active.c_str());
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kAppKey, kActiveProfileValue);
        for (size_t i = ARRAYSIZE(kPaths); i-- > 0;)
            if (!existed[i])
                RegDeleteKeyW(HKEY_CURRENT_USER, kPaths[i]);
    }
    static void SetActive(LPCWSTR keyName) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kAppKey, kActiveProfileValue, REG_SZ, keyName,
                        static_cast<DWORD>((wcslen(keyName) + 1) * sizeof(WCHAR)));
    }

private:
    static constexpr const WCHAR* kPaths[] = {L"Software\\Quorvane", L"Software\\Quorvane\\Vespera",
                                              L"Software\\Quorvane\\Vespera\\Profiles"};
    std::vector<bool> existed;
    bool hadActive = false;
    std::wstring active;
};

// Profiles made for the benchmark, deleted on destruction.
class BenchProfiles {
public:
    ~BenchProfiles() {
        for (const std::wstring& keyName : keyNames) {
            Profile profile;
            if (SUCCEEDED(profile.Load(keyName.c_str())))
                profile.Delete();
        }
    }
    // The new profile's key name, or empty on failure.
    std::wstring Add(ScreeningMode mode, LPCWSTR category, const std::vector<DWORD>& listed) {
        Profile profile;
        if (FAILED(profile.SetName(L"Benchmark")) || FAILED(profile.SetMode(mode)))
            return {};
        if (category && FAILED(profile.SetCategory(category)))
            return {};
        for (DWORD oid : listed)
            if (FAILED(profile.AddContact(oid)))
                return {};
        if (FAILED(profile.Save()))
            return {};
        keyNames.push_back(profile.keyName);
        return profile.keyName;
    }

private:
    std::vector<std::wstring> keyNames;
};

// One contact added to the phone's address book, removed again on destruction.
class BenchContact {
public:
    BenchContact(const char* name, const char* number, const char* categories) {
        WCHAR directory[MAX_PATH];
        GetTempPathW(ARRAYSIZE(directory), directory);
        std::wstring path = std::wstring(directory) + L"vespera-bench-contact.vcf";
        std::ofstream(Narrow(path), std::ios::binary)
            << "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:vespera-screening-bench\r\nFN:" << name
            << "\r\nTEL:" << number << "\r\nCATEGORIES:" << categories << "\r\nEND:VCARD\r\n";
        RunPhone(L"contacts import \"" + path + L"\"");
        DeleteFileW(path.c_str());
        std::string output;
        RunPhone(L"contacts list", &output);
        std::string pattern = std::string("\"name\":\"") + name + "\"";
        size_t at = output.find(pattern);
        size_t start = at == std::string::npos ? at : output.rfind("{\"oid\":", at);
        if (start != std::string::npos)
            oid = std::strtoul(output.c_str() + start + 7, nullptr, 10);
    }
    ~BenchContact() {
        if (oid)
            RegDeleteTreeW(CONTACTDB_ROOT,
                           (std::wstring(CONTACTDB_PATH) + L"\\" + std::to_wstring(oid)).c_str());
        if (oid)
            RegDeleteKeyW(CONTACTDB_ROOT,
                          (std::wstring(CONTACTDB_PATH) + L"\\" + std::to_wstring(oid)).c_str());
    }
    BenchContact(const BenchContact&) = delete;
    BenchContact& operator=(const BenchContact&) = delete;
    DWORD oid = 0;
};

// The request SetCallNotification stores, aimed at any program.
bool Register(const std::wstring& command, LPCWSTR windowClass, LPCWSTR title) {
    NOTIFICATIONCONDITION condition = {};
    condition.ctComparisonType = REG_CT_EQUAL;
    condition.dwMask = SN_PHONEINCOMINGCALL_BITMASK;
    condition.TargetValue.dw = SN_PHONEINCOMINGCALL_BITMASK;
    return RegistryNotifyApp(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONESTATUS_VALUE,
                             kIncomingCallNotification, command.c_str(), windowClass, title,
                             WM_INCOMINGCALL, 0, &condition) == S_OK;
}

struct RingCase {
    const char* label = "";
    std::wstring command;
    LPCWSTR windowClass = nullptr; // null: started with no window to message
    LPCWSTR title = nullptr;
    std::wstring activeProfile; // empty: leave as it is
    std::wstring ring;          // phone.exe's arguments
    bool numbers = false;       // 1,000 entries in each number list (else none)
    bool callLog = false;       // 500 outgoing calls in the phone's log (else none)
    std::vector<double> ms;
    std::vector<double> wholeRun; // phone.exe from start to exit, after the program ended
    std::vector<double> byRound;  // one a round, -1 for a miss: pairs each call with the floor's
    std::vector<double> wholeByRound;
    int missed = 0;
};

RingCase MakeCase(const char* label, const std::wstring& command, LPCWSTR windowClass,
                  LPCWSTR title, const std::wstring& activeProfile, const std::wstring& ring) {
    RingCase ringCase;
    ringCase.label = label;
    ringCase.command = command;
    ringCase.windowClass = windowClass;
    ringCase.title = title;
    ringCase.activeProfile = activeProfile;
    ringCase.ring = ring;
    return ringCase;
}

// A whole number of the phone's JSON line, or -1 when it is missing.
double JsonNumber(const std::string& line, const char* name) {
    std::string key = std::string("\"") + name + "\":";
    size_t at = line.find(key);
    if (at == std::string::npos)
        return -1;
    return std::strtod(line.c_str() + at + key.size(), nullptr);
}

// Both number lists full (1,000 entries none of the bench's callers matches) or absent.
void StoreNumberLists(bool full) {
    const WCHAR path[] = L"Software\\Quorvane\\Vespera\\Numbers";
    if (!full) {
        RegDeleteTreeW(HKEY_CURRENT_USER, path);
        return;
    }
    for (LPCWSTR value : {L"Blocked", L"Allowed"}) {
        std::wstring multi;
        for (int i = 0; i < 1000; ++i) {
            WCHAR entry[48];
            StringCchPrintfW(entry, ARRAYSIZE(entry),
                             i % 2 ? L"+44 20 7%03d %04d\tEntry %d" : L"+%d 900 ??%02d*", i % 1000,
                             i, i);
            multi += entry;
            multi += L'\0';
        }
        multi += L'\0';
        RegSetKeyValueW(HKEY_CURRENT_USER, path, value, REG_MULTI_SZ, multi.data(),
                        static_cast<DWORD>(multi.size() * sizeof(WCHAR)));
    }
}

bool RingOnce(RingCase& ringCase, bool record, std::string* report = nullptr) {
    if (!Register(ringCase.command, ringCase.windowClass, ringCase.title))
        return false;
    StoreNumberLists(ringCase.numbers);
    // A busy phone's log: a call every 80 minutes, the newest two minutes ago, so the 500
    // cover four weeks and two lie in the pause's two hours (CallLog_bench takes a call
    // every five minutes, 24 in the two hours). Each ring logs its call, so the log is set
    // before each.
    if (ringCase.callLog)
        FillCallLog(500, 2, 80);
    else
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCallLogPath);
    if (!ringCase.activeProfile.empty())
        SavedSettings::SetActive(ringCase.activeProfile.c_str());
    double start = NowMs();
    CallReport call = Ring(ringCase.ring + L" --steps");
    double wholeRun = NowMs() - start;
    // The phone's step report has the time to End in microseconds.
    double endUs = JsonNumber(call.raw, "endUs");
    if (call.outcome != "refused" || endUs <= 0) {
        ++ringCase.missed;
        std::printf("  %s: not refused: %s\n", ringCase.label, call.raw.c_str());
        return false;
    }
    if (record) {
        ringCase.ms.push_back(endUs / 1000.0);
        ringCase.wholeRun.push_back(wholeRun);
    }
    if (report)
        *report = call.raw;
    return true;
}

// The steps of one cold run, in milliseconds from the ring: the phone's own marks from
// its report, the started program's from its step clock (0 for a mark not taken).
struct StepMarks {
    double written, startCalled, started, start, entry, windowClass, window, posted, message,
        caller, clock, key, end, seen, exit;
    double keyCpu, exitCpu; // the program's processor time, ms
};
const WCHAR kStepsKey[] = L"Software\\VesperaBench\\Steps";

// False when the phone's report lacks a mark; the program's marks are read as they are.
bool ReadStepMarks(const std::string& report, StepMarks* marks) {
    const double ringCounter = JsonNumber(report, "ringCounter");
    const double hz = JsonNumber(report, "counterHz");
    if (ringCounter <= 0 || hz <= 0)
        return false;
    auto child = [&](LPCWSTR name, double* ms) {
        ULONGLONG counter = 0;
        DWORD bytes = sizeof(counter);
        *ms = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, kStepsKey, name, RRF_RT_QWORD, nullptr, &counter,
                         &bytes) == ERROR_SUCCESS &&
            counter != 0)
            *ms = (static_cast<double>(counter) - ringCounter) * 1000.0 / hz;
    };
    auto phone = [&](const char* name, double* ms) {
        *ms = JsonNumber(report, name) / 1000.0;
        return *ms > 0;
    };
    phone("postedUs", &marks->posted); // none on the block-all path
    child(L"Start", &marks->start);
    child(L"Entry", &marks->entry);
    child(L"Class", &marks->windowClass);
    child(L"Window", &marks->window);
    child(L"Message", &marks->message);
    child(L"Caller", &marks->caller);
    child(L"Clock", &marks->clock);
    child(L"Key", &marks->key);
    child(L"Exit", &marks->exit);
    auto cpu = [&](LPCWSTR name, double* ms) {
        ULONGLONG ticks = 0;
        DWORD bytes = sizeof(ticks);
        *ms = RegGetValueW(HKEY_CURRENT_USER, kStepsKey, name, RRF_RT_QWORD, nullptr, &ticks,
                           &bytes) == ERROR_SUCCESS
                  ? static_cast<double>(ticks) / 10000.0
                  : 0;
    };
    cpu(L"KeyCpu", &marks->keyCpu);
    cpu(L"ExitCpu", &marks->exitCpu);
    return phone("writtenUs", &marks->written) && phone("startCalledUs", &marks->startCalled) &&
           phone("startedUs", &marks->started) && phone("endUs", &marks->end) &&
           phone("seenUs", &marks->seen);
}

struct Step {
    const char* label;
    double (*length)(const StepMarks&);
    // Wine counts processor time in whole ticks of 10 ms: only the mean says something.
    bool mean = false;
};

// A notification run: the program's window, the broker's message, the decision.
const Step kNotificationSteps[] = {
    {"phone writes the state", [](const StepMarks& m) { return m.written; }},
    {"broker: no window, starts the program",
     [](const StepMarks& m) { return m.startCalled - m.written; }},
    {"process start, to the entry point",
     [](const StepMarks& m) { return m.entry - m.startCalled; }},
    {"  of which CreateProcess returns",
     [](const StepMarks& m) { return m.started - m.startCalled; }},
    {"  of which the runtime's start, to the entry",
     [](const StepMarks& m) { return m.entry - m.start; }},
    {"start-up, to the main window", [](const StepMarks& m) { return m.window - m.entry; }},
    {"  of which its own work, to the class",
     [](const StepMarks& m) { return m.windowClass - m.entry; }},
    {"the message, window to taken from the queue",
     [](const StepMarks& m) { return m.message - m.window; }},
    {"  of which the broker posts it", [](const StepMarks& m) { return m.posted - m.window; }},
    {"the decision, message to End sent", [](const StepMarks& m) { return m.key - m.message; }},
    {"the key, sent to the phone's watch", [](const StepMarks& m) { return m.end - m.key; }},
    {"the phone sees it", [](const StepMarks& m) { return m.seen - m.end; }},
    {"ring to End (the phone's figure)", [](const StepMarks& m) { return m.end; }},
    {"after End: to the program's exit", [](const StepMarks& m) { return m.exit - m.key; }},
    {"processor time to End sent (mean)", [](const StepMarks& m) { return m.keyCpu; }, true},
    {"processor time in all (mean)", [](const StepMarks& m) { return m.exitCpu; }, true},
};

// The block-all path: no window, no message; the caller read and End at once. A step
// that the floor does not take (it reads no caller) shows as 0 there, its time in the
// next step.
const Step kBlockAllSteps[] = {
    {"phone writes the state", [](const StepMarks& m) { return m.written; }},
    {"broker: no window, starts the program",
     [](const StepMarks& m) { return m.startCalled - m.written; }},
    {"CreateProcess returns", [](const StepMarks& m) { return m.started - m.startCalled; }},
    {"modules loaded, to the program's first code",
     [](const StepMarks& m) { return m.start - m.started; }},
    {"the runtime's start, to the entry point",
     [](const StepMarks& m) { return m.entry - m.start; }},
    {"entry to the caller read",
     [](const StepMarks& m) { return m.caller > 0 ? m.caller - m.entry : 0; }},
    {"the caller read (and the clock) to End sent",
     [](const StepMarks& m) { return m.caller > 0 ? m.key - m.caller : m.key - m.entry; }},
    {"  of which the clock read to End sent",
     [](const StepMarks& m) { return m.clock > 0 && m.clock < m.key ? m.key - m.clock : 0; }},
    {"the key, sent to the phone's watch", [](const StepMarks& m) { return m.end - m.key; }},
    {"ring to End (the phone's figure)", [](const StepMarks& m) { return m.end; }},
    {"after End: the record, to the program's exit",
     [](const StepMarks& m) { return m.exit - m.key; }},
    {"processor time to End sent (mean)", [](const StepMarks& m) { return m.keyCpu; }, true},
    {"processor time in all (mean)", [](const StepMarks& m) { return m.exitCpu; }, true},
};

bool NotificationMarksComplete(const StepMarks& m) {
    return m.posted > 0 && m.entry > 0 && m.windowClass > 0 && m.window > 0 && m.message > 0 &&
           m.key > 0 && m.exit > 0;
}

bool BlockAllMarksComplete(const StepMarks& m) {
    return m.start > 0 && m.entry > 0 && m.key > 0 && m.exit > 0;
}

// Where the time from ring to End goes, step by step, for the timed copies of Vespera
// and of the floor, rung round-robin.
template <size_t stepCount>
int RingSteps(std::vector<RingCase>& cases, int calls, const Step (&steps)[stepCount],
              bool (*complete)(const StepMarks&)) {
    std::vector<std::vector<std::vector<double>>> lengths(
        cases.size(), std::vector<std::vector<double>>(stepCount));
    for (RingCase& ringCase : cases)
        RingOnce(ringCase, false);
    int status = 0;
    for (int call = 0; call < calls; ++call)
        for (size_t c = 0; c < cases.size(); ++c) {
            RegDeleteKeyW(HKEY_CURRENT_USER, kStepsKey);
            std::string report;
            StepMarks marks = {};
            if (!RingOnce(cases[c], true, &report))
                continue;
            if (!ReadStepMarks(report, &marks) || !complete(marks)) {
                std::printf("  %s: incomplete step marks: %s\n", cases[c].label, report.c_str());
                status = 1;
                continue;
            }
            for (size_t s = 0; s < stepCount; ++s)
                lengths[c][s].push_back(steps[s].length(marks));
        }
    RegDeleteKeyW(HKEY_CURRENT_USER, kStepsKey);
    std::printf("  %-46s", "median ms");
    for (const RingCase& ringCase : cases)
        std::printf(" %14s", ringCase.label);
    std::printf("\n");
    for (size_t s = 0; s < stepCount; ++s) {
        std::printf("  %-46s", steps[s].label);
        for (size_t c = 0; c < cases.size(); ++c) {
            const std::vector<double>& values = lengths[c][s];
            double mean = 0;
            for (double value : values)
                mean += value / static_cast<double>(values.size());
            std::printf(" %14.2f", steps[s].mean ? mean : Percentile(values, 0.5));
        }
        std::printf("\n");
    }
    for (const RingCase& ringCase : cases)
        if (ringCase.missed)
            status = 1;
    return status;
}

int RingToEnd() {
    std::printf("Ring to End through phone.exe and the broker, %d calls each, interleaved\n",
                ringCalls);
    SavedKey request(BROKER_ROOT,
                     std::wstring(BROKER_REQUESTS_PATH) + L"\\" + kIncomingCallNotification);
    SavedKey callLog(HKEY_LOCAL_MACHINE, kCallLogPath);
    HKEY requests = nullptr;
    const bool hadRequests =
        RegOpenKeyExW(BROKER_ROOT, BROKER_REQUESTS_PATH, 0, KEY_READ, &requests) == ERROR_SUCCESS;
    if (requests)
        RegCloseKey(requests);
    int status = 0;
    {
        BenchProfiles profiles;
        BenchContact contact("Screening Bench Caller", "+1 999 555 0142", "Bench Blocked,Work");
        std::vector<DWORD> other = {contact.oid + 1000};
        std::wstring blockUnknown = profiles.Add(ScreeningMode::BlockUnknown, nullptr, {});
        std::wstring blockPrivate = profiles.Add(ScreeningMode::BlockPrivate, nullptr, {});
        std::wstring blockListed = profiles.Add(ScreeningMode::BlockListed, nullptr, {contact.oid});
        std::wstring blockCategory =
            profiles.Add(ScreeningMode::BlockCategory, L"bench blocked", {});
        std::wstring allowListed = profiles.Add(ScreeningMode::AllowListed, nullptr, other);
        std::wstring allowCategory =
            profiles.Add(ScreeningMode::AllowCategory, L"bench allowed", {});
        if (!contact.oid || blockUnknown.empty() || blockPrivate.empty() || blockListed.empty() ||
            blockCategory.empty() || allowListed.empty() || allowCategory.empty()) {
            std::printf("  set-up failed (contact OID %lu)\n", contact.oid);
            status = 1;
        } else {
            const std::wstring vespera = L"\"" + BinPath(L"vespera.exe") + L"\"";
            const std::wstring benchDir = BinDirectory() + L"\\..\\bench\\";
            const std::wstring endKey = L"\"" + benchDir + L"endkey.exe" + L"\"";
            const std::wstring withheld = L"ring --withheld --ring-ms 10000";
            const std::wstring contactCall = L"ring \"+1 999 555 0142\" --ring-ms 10000";
            const LPCWSTR vesperaClass = L"VesperaClass", vesperaTitle = L"Vespera";
            std::vector<RingCase> cases;
            // A notification run: the program is messaged under Vespera's class and title.
            auto notified = [&](const char* label, const std::wstring& command,
                                const std::wstring& profile, const std::wstring& ring) {
                cases.push_back(
                    MakeCase(label, command, vesperaClass, vesperaTitle, profile, ring));
            };
            const bool all = ringSet == RingSet::All;
            const bool notifications = ringSet != RingSet::BlockAll && ringSet != RingSet::CallLog;
            if (notifications) {
                notified("floor: endkey, hidden window + message", endKey, L"", withheld);
                notified("vespera notification, BlockUnknown", vespera, blockUnknown, withheld);
            }
            if (all) {
                notified("vespera notification, BlockPrivate", vespera, blockPrivate, withheld);
                notified("vespera notification, BlockListed", vespera, blockListed, contactCall);
            }
            if (notifications)
                notified("vespera notification, BlockCategory", vespera, blockCategory,
                         contactCall);
            if (all)
                notified("vespera notification, AllowListed", vespera, allowListed, contactCall);
            if (notifications)
                notified("vespera notification, AllowCategory", vespera, allowCategory,
                         contactCall);
            // The number lists, full, against the same mode with none.
            if (all || ringSet == RingSet::Numbers) {
                notified("vespera notification, BlockUnknown, 1,000+1,000 numbers", vespera,
                         blockUnknown, L"ring 5550199 --ring-ms 10000");
                cases.back().numbers = true;
            }
            // VESPERA_RING_OTHER names other vespera.exe builds (an older one, variants),
            // separated by ';', to ring side by side in the category modes and one other
            // mode, labelled "other 1", "other 2"...
            std::vector<std::wstring> others, otherPaths;
            WCHAR otherList[4 * MAX_PATH] = L"";
            if (GetEnvironmentVariableW(L"VESPERA_RING_OTHER", otherList, ARRAYSIZE(otherList))) {
                std::wstring list = otherList;
                for (size_t at = 0; at <= list.size();) {
                    size_t end = list.find(L';', at);
                    if (end == std::wstring::npos)
                        end = list.size();
                    if (end > at) {
                        otherPaths.push_back(list.substr(at, end - at));
                        others.push_back(L"\"" + otherPaths.back() + L"\"");
                    }
                    at = end + 1;
                }
            }
            // The cases keep pointers to their labels: a deque never moves what it holds.
            std::deque<std::string> otherLabels;
            auto otherLabel = [&](size_t index, const char* what) {
                otherLabels.push_back("other " + std::to_string(index + 1) + " " + what);
                return otherLabels.back().c_str();
            };
            if (notifications)
                for (size_t o = 0; o < others.size(); ++o) {
                    notified(otherLabel(o, "notification, BlockUnknown"), others[o], blockUnknown,
                             withheld);
                    notified(otherLabel(o, "notification, BlockCategory"), others[o], blockCategory,
                             contactCall);
                    notified(otherLabel(o, "notification, AllowCategory"), others[o], allowCategory,
                             contactCall);
                }
            const size_t notificationCases = cases.size();
            const bool blockAll = ringSet != RingSet::Category;
            if (blockAll) {
                cases.push_back(MakeCase("floor: endkey /BlockAll", endKey + L" /BlockAll", nullptr,
                                         nullptr, L"", withheld));
                cases.push_back(MakeCase("vespera /BlockAll", vespera + L" /BlockAll", nullptr,
                                         nullptr, L"", withheld));
                if (all || ringSet == RingSet::Numbers) {
                    cases.push_back(MakeCase("vespera /BlockAll /Allow, 1,000 allowed",
                                             vespera + L" /BlockAll /Allow", nullptr, nullptr, L"",
                                             L"ring 5550199 --ring-ms 10000"));
                    cases.back().numbers = true;
                }
                // The phone's log, full: the pause's two hours are read, and with
                // "/Called:30" all of it.
                if (all || ringSet == RingSet::CallLog) {
                    cases.push_back(MakeCase("vespera /BlockAll, 500 in the call log",
                                             vespera + L" /BlockAll", nullptr, nullptr, L"",
                                             withheld));
                    cases.back().callLog = true;
                    cases.push_back(MakeCase("vespera /BlockAll /Called:30, 500 in the log",
                                             vespera + L" /BlockAll /Called:30", nullptr, nullptr,
                                             L"", L"ring 5550199 --ring-ms 10000"));
                    cases.back().callLog = true;
                }
                for (size_t o = 0; o < others.size(); ++o)
                    cases.push_back(MakeCase(otherLabel(o, "/BlockAll"), others[o] + L" /BlockAll",
                                             nullptr, nullptr, L"", withheld));
            }
            // One call each to warm the file cache, then the calls round-robin, so that a
            // change in machine load hits every case alike.
            for (RingCase& ringCase : cases)
                RingOnce(ringCase, false);
            for (int call = 0; call < ringCalls; ++call)
                for (RingCase& ringCase : cases) {
                    const size_t before = ringCase.ms.size();
                    RingOnce(ringCase, true);
                    const bool rung = ringCase.ms.size() > before;
                    ringCase.byRound.push_back(rung ? ringCase.ms.back() : -1);
                    ringCase.wholeByRound.push_back(rung ? ringCase.wholeRun.back() : -1);
                }
            StoreNumberLists(false);
            for (const RingCase& ringCase : cases) {
                PrintRow(ringCase.label, ringCase.ms, "ms");
                if (ringCase.missed)
                    status = 1;
            }
            std::printf("  The whole phone.exe run per call (it waits for the started program "
                        "to end):\n");
            for (const RingCase& ringCase : cases)
                PrintRow(ringCase.label, ringCase.wholeRun, "ms");
            // Each case against its floor: the ratio of the medians, and the ratios of each
            // call to the floor's call of the same round (the machine's pace drifts over a
            // run, and these leave most of that drift out), as their lower quartile, median
            // and upper quartile.
            auto compare = [](const RingCase& ringCase, const RingCase& floor) {
                std::vector<double> ratios, wholeRatios;
                for (size_t r = 0; r < ringCase.byRound.size() && r < floor.byRound.size(); ++r)
                    if (ringCase.byRound[r] > 0 && floor.byRound[r] > 0) {
                        ratios.push_back(ringCase.byRound[r] / floor.byRound[r]);
                        wholeRatios.push_back(ringCase.wholeByRound[r] / floor.wholeByRound[r]);
                    }
                const double floorMedian = Percentile(floor.ms, 0.5);
                std::printf("  %-40s medians %.2f; by round p25 %.2f median %.2f p75 %.2f; "
                            "whole run: medians %.2f, by round %.2f (%zu pairs)\n",
                            ringCase.label,
                            floorMedian > 0 ? Percentile(ringCase.ms, 0.5) / floorMedian : 0,
                            Percentile(ratios, 0.25), Percentile(ratios, 0.5),
                            Percentile(ratios, 0.75),
                            Percentile(ringCase.wholeRun, 0.5) / Percentile(floor.wholeRun, 0.5),
                            Percentile(wholeRatios, 0.5), ratios.size());
            };
            std::printf("  Ratios to the floor, ring to End:\n");
            for (size_t c = 1; c < notificationCases; ++c)
                compare(cases[c], cases[0]);
            for (size_t c = notificationCases + 1; c < cases.size(); ++c)
                compare(cases[c], cases[notificationCases]);
            // The call log's cost on the block-all path: against the same path with an
            // empty log.
            bool logCompared = false;
            for (size_t c = notificationCases + 2; c < cases.size(); ++c) {
                if (!cases[c].callLog)
                    continue;
                if (!logCompared)
                    std::printf("  Ratios to \"vespera /BlockAll\" with an empty call log:\n");
                logCompared = true;
                compare(cases[c], cases[notificationCases + 1]);
            }

            const std::wstring vesperaSteps = L"\"" + benchDir + L"vespera-steps.exe" + L"\"";
            const std::wstring endKeySteps = L"\"" + benchDir + L"endkey-steps.exe\"";
            if (notifications) {
                std::printf("\nWhere the time goes: cold notification runs of the timed copies, "
                            "%d calls each, interleaved\n",
                            ringCalls);
                std::vector<RingCase> timed;
                timed.push_back(
                    MakeCase("floor", endKeySteps, vesperaClass, vesperaTitle, L"", withheld));
                timed.push_back(MakeCase("BlockUnknown", vesperaSteps, vesperaClass, vesperaTitle,
                                         blockUnknown, withheld));
                timed.push_back(MakeCase("BlockCategory", vesperaSteps, vesperaClass, vesperaTitle,
                                         blockCategory, contactCall));
                timed.push_back(MakeCase("AllowCategory", vesperaSteps, vesperaClass, vesperaTitle,
                                         allowCategory, contactCall));
                // An other build's timed copy, when one lies beside it.
                for (size_t o = 0; o < otherPaths.size(); ++o) {
                    const std::wstring steps =
                        otherPaths[o].substr(0, otherPaths[o].find_last_of(L'\\') + 1) +
                        L"vespera-steps.exe";
                    if (GetFileAttributesW(steps.c_str()) == INVALID_FILE_ATTRIBUTES)
                        continue;
                    const std::wstring quoted = L"\"" + steps + L"\"";
                    timed.push_back(MakeCase(otherLabel(o, "Unknown"), quoted, vesperaClass,
                                             vesperaTitle, blockUnknown, withheld));
                    timed.push_back(MakeCase(otherLabel(o, "Category"), quoted, vesperaClass,
                                             vesperaTitle, blockCategory, contactCall));
                }
                status |=
                    RingSteps(timed, ringCalls, kNotificationSteps, NotificationMarksComplete);
            }
            if (blockAll) {
                std::printf("\nWhere the time goes: the block-all path of the timed copies, "
                            "%d calls each, interleaved\n",
                            ringCalls);
                std::vector<RingCase> timed;
                timed.push_back(MakeCase("floor", endKeySteps + L" /BlockAll", nullptr, nullptr,
                                         L"", withheld));
                timed.push_back(MakeCase("vespera", vesperaSteps + L" /BlockAll", nullptr, nullptr,
                                         L"", withheld));
                status |= RingSteps(timed, ringCalls, kBlockAllSteps, BlockAllMarksComplete);
            }
        }
    }
    request.Restore();
    callLog.Restore();
    if (!hadRequests)
        RegDeleteKeyW(BROKER_ROOT, BROKER_REQUESTS_PATH); // only when left empty
    return status;
}

// Per-call times in microseconds.
template <typename Work> std::vector<double> TimeCalls(int calls, Work work) {
    work(); // warm
    std::vector<double> samples;
    for (int call = 0; call < calls; ++call) {
        double start = NowMs();
        work();
        samples.push_back((NowMs() - start) * 1000.0);
    }
    return samples;
}

int ScreenInProcess() {
    std::printf("ScreenIncomingCall in process, per call (\"Status\" shows a call talked on, "
                "so refusals press no key)\n");
    ScopedPhoneStatus phoneStatus(SN_PHONEINCOMINGCALL_BITMASK | SN_PHONECALLTALKING_BITMASK);
    int status = 0;
    AppSettings& settings = TheMainWindow().settings;
    for (DWORD count : {1000u, 10000u}) {
        std::vector<DWORD> listed;
        for (DWORD i = 0; i < count; ++i)
            listed.push_back(1000 + i * 7);
        const DWORD last = listed.back(), absent = 3;
        BenchProfiles profiles;
        for (ScreeningMode mode : {ScreeningMode::BlockListed, ScreeningMode::AllowListed}) {
            std::wstring keyName = profiles.Add(mode, nullptr, listed);
            if (keyName.empty() || FAILED(settings.SetActiveProfile(keyName.c_str()))) {
                std::printf("  set-up failed\n");
                return 1;
            }
            const char* modeName =
                mode == ScreeningMode::BlockListed ? "BlockListed" : "AllowListed";
            for (DWORD oid : {last, absent}) {
                ScopedCaller caller(L"5550100", oid);
                HRESULT hr = S_OK;
                std::vector<double> samples = TimeCalls(500, [&] {
                    hr = ScreenIncomingCall(TheMainWindow().settings, TheMainWindow().hwnd);
                });
                char label[80];
                std::snprintf(label, sizeof(label), "%s, %5lu contacts, caller %s", modeName, count,
                              oid == last ? "last listed" : "not listed");
                PrintRow(label, samples, "us");
                if (hr != S_OK) {
                    std::printf("  unexpected result 0x%08lx\n", static_cast<unsigned long>(hr));
                    status = 1;
                }
            }
            // Where the time goes: loading the profile, and the list search alone.
            Profile loaded;
            std::vector<double> loads = TimeCalls(500, [&] {
                Profile profile;
                profile.Load(keyName.c_str());
            });
            loaded.Load(keyName.c_str());
            bool found = false;
            std::vector<double> searches =
                TimeCalls(500, [&] { found = loaded.ContainsContact(last) || found; });
            char label[80];
            std::snprintf(label, sizeof(label), "  of which Profile::Load, %5lu contacts", count);
            PrintRow(label, loads, "us");
            std::snprintf(label, sizeof(label), "  of which ContainsContact(last), %5lu", count);
            PrintRow(label, searches, "us");
        }
    }
    // The category test for comparison: it opens the contact store on every call.
    if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        {
            BenchProfiles profiles;
            BenchContact contact("Screening Bench Caller", "+1 999 555 0142", "Bench Blocked");
            std::wstring keyName = profiles.Add(ScreeningMode::BlockCategory, L"blocked", {});
            if (contact.oid && !keyName.empty() &&
                SUCCEEDED(settings.SetActiveProfile(keyName.c_str()))) {
                ScopedCaller caller(L"+1 999 555 0142", contact.oid);
                HRESULT hr = S_OK;
                PrintRow("BlockCategory, caller in the category",
                         TimeCalls(500,
                                   [&] {
                                       hr = ScreenIncomingCall(TheMainWindow().settings,
                                                               TheMainWindow().hwnd);
                                   }),
                         "us");
                if (hr != S_OK)
                    status = 1;
            } else {
                status = 1;
            }
        }
        CoUninitialize();
    }
    settings.SetActiveProfile(nullptr);
    return status;
}

// The child's side: the contact store's first use taken apart (the wait cursor, the
// server's creation, the log-on), then its steps cold and warm, as one line of ms.
int ColdContactStore(DWORD oid) {
    // A notification run has made its hidden main window before it screens; the first
    // window of a process loads the display driver, which must not count here.
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_CAPTION, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    if (!window)
        return 1;
    double times[12] = {};
    int step = 0;
    double start = NowMs();
    auto mark = [&] { times[step++] = NowMs() - start; };
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 1;
    mark();
    SetCursor(SetCursor(LoadCursorW(nullptr, IDC_WAIT)));
    mark();
    IPOutlookApp* application = nullptr;
    if (FAILED(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp,
                                reinterpret_cast<void**>(&application))))
        return 1;
    mark();
    if (FAILED(application->Logon(window)))
        return 1;
    mark();
    application->Logoff();
    application->Release();
    for (int round = 0; round < 2; ++round) {
        ContactStore store;
        IContact* contact = nullptr;
        BSTR categories = nullptr;
        if (FAILED(store.Open(nullptr)))
            return 1;
        mark();
        if (FAILED(store.GetContact(oid, &contact)) ||
            FAILED(ContactStore::GetCategories(contact, &categories)))
            return 1;
        mark();
        bool found = LazyStrStrIW(categories, L"blocked") != nullptr;
        mark();
        SysFreeString(categories);
        contact->Release();
        store.Close();
        if (!found)
            return 1;
    }
    CoUninitialize();
    DestroyWindow(window);
    for (int i = 0; i < step; ++i)
        std::printf("%.3f ", times[i]);
    std::printf("\n");
    return 0;
}

// The child's side: a notification run's start-up up to its window, step by step, or
// (floor) only the window, as one line of milliseconds.
int ColdStartup(bool floor) {
    double times[6] = {};
    int step = 0;
    double start = NowMs();
    auto mark = [&] { times[step++] = NowMs() - start; };
    HANDLE instance = nullptr;
    if (!floor) {
        LaunchedByNotification = true;
        BOOL found = FALSE;
        HWND existing = nullptr;
        if (FAILED(LazyPreviousInstance(L"VesperaStartupBenchClass", nullptr, &instance, &existing,
                                        &found)))
            return 1;
        mark();
        if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
            return 1;
        mark();
        if (FAILED(TheMainWindow().settings.Load()))
            return 1;
        mark();
    }
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VesperaStartupBenchClass";
    if (!RegisterClassW(&windowClass))
        return 1;
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Vespera", WS_CAPTION,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, SW_HIDE);
    mark();
    DestroyWindow(window);
    if (!floor)
        CoUninitialize();
    if (instance)
        CloseHandle(instance);
    for (int i = 0; i < step; ++i)
        std::printf("%.3f ", times[i]);
    std::printf("\n");
    return 0;
}

// Runs the child of one part in fresh processes; the lengths of its steps.
bool ChildSteps(const std::wstring& arguments, int processes,
                std::vector<std::vector<double>>* steps) {
    WCHAR self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, ARRAYSIZE(self));
    const size_t count = steps->size();
    for (int run = 0; run < processes; ++run) {
        ProcessResult child = RunProcess(L"\"" + std::wstring(self) + L"\" " + arguments);
        std::vector<double> times;
        const char* text = child.output.c_str();
        for (char* end = nullptr; times.size() < count; text = end) {
            double value = std::strtod(text, &end);
            if (end == text)
                break;
            times.push_back(value);
        }
        if (!child.finished || child.exitCode != 0 || times.size() != count) {
            std::printf("  the child failed: %s\n", child.output.c_str());
            return false;
        }
        for (size_t i = 0; i < count; ++i)
            (*steps)[i].push_back(i == 0 ? times[0] : times[i] - times[i - 1]);
    }
    return true;
}

int StartupInFreshProcess() {
    std::printf("A notification run's start-up to its window in a fresh process, against only "
                "the window, 20 processes each, interleaved\n");
    const char* labels[] = {"previous-instance check (loads the shell library)",
                            "CoInitializeEx (loads COM)", "AppSettings::Load",
                            "class and hidden window"};
    std::vector<std::vector<double>> vespera(4), floor(1);
    for (int round = 0; round < 20; ++round)
        if (!ChildSteps(L"--cold-startup", 1, &vespera) ||
            !ChildSteps(L"--cold-startup-floor", 1, &floor))
            return 1;
    for (int i = 0; i < 4; ++i)
        PrintRow(labels[i], vespera[i], "ms");
    PrintRow("floor: class and hidden window", floor[0], "ms");
    return 0;
}

int ContactStoreInFreshProcess() {
    std::printf("The contact store's first use in a fresh process (as a notification run "
                "meets it), 10 processes\n");
    BenchContact contact("Screening Bench Caller", "+1 999 555 0142", "Bench Blocked");
    if (!contact.oid)
        return 1;
    WCHAR self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, ARRAYSIZE(self));
    const char* labels[] = {"CoInitializeEx",
                            "first wait cursor",
                            "cold: CoCreateInstance (loads pimstore.dll)",
                            "cold: Logon",
                            "second: ContactStore::Open",
                            "cold: GetContact + GetCategories",
                            "cold: first StrStrIW (loads shlwapi)",
                            "warm: Open",
                            "warm: GetContact + GetCategories",
                            "warm: StrStrIW"};
    const int count = ARRAYSIZE(labels);
    std::vector<double> steps[count];
    for (int run = 0; run < 10; ++run) {
        ProcessResult child = RunProcess(L"\"" + std::wstring(self) + L"\" --cold-store " +
                                         std::to_wstring(contact.oid));
        double times[count];
        const char* text = child.output.c_str();
        int read = 0;
        for (char* end = nullptr; read < count; ++read, text = end) {
            times[read] = std::strtod(text, &end);
            if (end == text)
                break;
        }
        if (!child.finished || child.exitCode != 0 || read != count) {
            std::printf("  the child failed: %s\n", child.output.c_str());
            return 1;
        }
        for (int i = 0; i < count; ++i)
            steps[i].push_back(i == 0 ? times[0] : times[i] - times[i - 1]);
    }
    for (int i = 0; i < count; ++i)
        PrintRow(labels[i], steps[i], "ms");
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && wcscmp(argv[1], L"--cold-startup") == 0)
        return ColdStartup(false);
    if (argc == 2 && wcscmp(argv[1], L"--cold-startup-floor") == 0)
        return ColdStartup(true);
    if (argc == 3 && wcscmp(argv[1], L"--cold-store") == 0)
        return ColdContactStore(static_cast<DWORD>(wcstoul(argv[2], nullptr, 10)));
    // One part alone when named: ring, screen, startup or store.
    auto wanted = [&](const wchar_t* part) { return argc < 2 || wcscmp(argv[1], part) == 0; };
    if (argc >= 3 && wcscmp(argv[1], L"ring") == 0 && _wtoi(argv[2]) > 0)
        ringCalls = _wtoi(argv[2]);
    if (argc == 4 && wcscmp(argv[1], L"ring") == 0)
        ringSet = wcscmp(argv[3], L"category") == 0   ? RingSet::Category
                  : wcscmp(argv[3], L"numbers") == 0  ? RingSet::Numbers
                  : wcscmp(argv[3], L"calllog") == 0  ? RingSet::CallLog
                  : wcscmp(argv[3], L"blockall") == 0 ? RingSet::BlockAll
                                                      : RingSet::All;
    SavedSettings settings;
    int status = 0;
    if (wanted(L"ring"))
        status |= RingToEnd();
    if (wanted(L"screen")) {
        std::printf("\n");
        status |= ScreenInProcess();
    }
    if (wanted(L"startup")) {
        std::printf("\n");
        status |= StartupInFreshProcess();
    }
    if (wanted(L"store")) {
        std::printf("\n");
        status |= ContactStoreInFreshProcess();
    }
    settings.Restore();
    return status;
}
