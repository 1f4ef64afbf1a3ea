#include "app/BackupCommands.h"
#include "app/MainWindow.h"
#include "platform/Cursor.h"
#include "platform/Files.h"
#include "platform/LazyProc.h"
#include "platform/LocalClock.h"
#include "platform/Resources.h"
#include "screening/CallNotification.h"
#include "store/AppSettings.h"
#include <stdarg.h>
#include <strsafe.h>

const WCHAR kBackupSwitch[] = L"/Backup";
const WCHAR kRestoreSwitch[] = L"/Restore";
const WCHAR kHistorySwitch[] = L"/History";

namespace {

const WCHAR kCaption[] = L"Vespera";
const WCHAR kResourceLibraryName[] = L"VesperaRes.dll";
const WCHAR kUsage[] = L"vespera.exe /Backup [/History] PATH | vespera.exe /Restore PATH";
const UINT kAskBackup = 460, kAskBackupHistory = 461, kBackedUp = 462, kNotWritten = 463;
const UINT kCannotRestore = 464, kAskRestore = 465, kHistoryStays = 466;
const UINT kHistoryReplaced = 467, kRestored = 468, kRestoreFailed = 469, kNotPutBack = 470;
const UINT kOneProfile = 471, kProfiles = 472, kOneRule = 473, kRules = 474;
const UINT kOneEntry = 475, kEntries = 476, kOneCall = 477, kCalls = 478;
const UINT kThreeItems = 479, kFourItems = 480, kNotRestored = 481;
const UINT kNoFile = 482, kEmpty = 483, kFormat = 484, kBadLine = 485, kCutOff = 486;
const UINT kForeignKey = 487, kWrongType = 488, kVesperaOpen = 489;
const size_t kTextChars = 2048;

std::wstring Format(UINT id, ...) {
    WCHAR text[kTextChars] = L"";
    va_list arguments;
    va_start(arguments, id);
    StringCchVPrintfExW(text, ARRAYSIZE(text), nullptr, nullptr, STRSAFE_IGNORE_NULLS,
                        ResourceText(id).Get(), arguments);
    va_end(arguments);
    return text;
}

std::wstring Count(UINT count, UINT one, UINT many) {
    return count == 1 ? std::wstring(ResourceText(one).Get()) : Format(many, count);
}

// "3 profiles, 2 rules and 5 number entries", and the calls when withCalls.
std::wstring Holdings(const BackupSummary& summary, bool withCalls) {
    const std::wstring profiles = Count(summary.profiles, kOneProfile, kProfiles);
    const std::wstring rules = Count(summary.rules, kOneRule, kRules);
    const std::wstring entries = Count(summary.entries, kOneEntry, kEntries);
    if (!withCalls)
        return Format(kThreeItems, profiles.c_str(), rules.c_str(), entries.c_str());
    const std::wstring calls = Count(summary.calls, kOneCall, kCalls);
    return Format(kFourItems, profiles.c_str(), rules.c_str(), entries.c_str(), calls.c_str());
}

// One line for each kind of item that does not read.
std::wstring Unreadable(const BackupSummary& summary) {
    std::wstring notes;
    auto note = [&notes](UINT count, UINT one, UINT many) {
        if (count == 0)
            return;
        notes += notes.empty() ? L"" : L"\n";
        notes += Format(kNotRestored, Count(count, one, many).c_str());
    };
    note(summary.unreadableProfiles, kOneProfile, kProfiles);
    note(summary.unreadableRules, kOneRule, kRules);
    note(summary.unreadableEntries, kOneEntry, kEntries);
    note(summary.unreadableCalls, kOneCall, kCalls);
    return notes;
}

std::wstring Reason(const BackupSummary& summary) {
    switch (summary.problem) {
    case BackupProblem::Missing:
    case BackupProblem::Unreadable:
        return Format(kNoFile, summary.detail.c_str());
    case BackupProblem::Empty:
    case BackupProblem::NoAppKey:
        return ResourceText(kEmpty).Get();
    case BackupProblem::Encoding:
    case BackupProblem::Header:
        return ResourceText(kFormat).Get();
    case BackupProblem::CutOff:
        return Format(kCutOff, summary.line);
    case BackupProblem::ForeignKey:
        return Format(kForeignKey, summary.line, summary.detail.c_str());
    case BackupProblem::WrongType:
        return Format(kWrongType, summary.line, summary.detail.c_str());
    default:
        return Format(kBadLine, summary.line);
    }
}

std::wstring Paragraphs(std::initializer_list<std::wstring> parts) {
    std::wstring text;
    for (const std::wstring& part : parts) {
        if (part.empty())
            continue;
        text += text.empty() ? L"" : L"\n\n";
        text += part;
    }
    return text;
}

HRESULT BackupPath(std::wstring* path) {
    WCHAR folder[MAX_PATH];
    HRESULT hr = GetDocumentsFolder(folder, ARRAYSIZE(folder));
    if (SUCCEEDED(hr))
        *path = std::wstring(folder) + L"\\" + kBackupFileName;
    return hr;
}

// The request the stored data asks for, read as a new run reads it.
HRESULT StoredCallRequest(CallRequest* request) {
    AppSettings settings;
    HRESULT hr = settings.Load();
    CallRequestInputs inputs;
    if (SUCCEEDED(hr))
        hr = ReadCallRequestInputs(settings.activeProfile, settings.IsTimed(), &inputs);
    if (SUCCEEDED(hr))
        *request = CallRequestFor(inputs);
    return hr;
}

// Writes what is stored (the history only withHistory) and reads the file back, as a
// restore would read it: the summary says what the file holds.
HRESULT WriteBackup(LPCWSTR path, bool withHistory, BackupSummary* summary) {
    BackupTree tree;
    HRESULT hr = ReadStoredData(withHistory, &tree);
    if (FAILED(hr))
        return hr;
    // Even nothing stored is a backup: of Vespera's key, empty.
    if (tree.keys.empty())
        tree.keys.push_back(BackupKey{});
    hr = WriteBackupFile(path, tree, LocalNow());
    if (FAILED(hr))
        return hr;
    BackupTree restorable;
    ReadBackupFile(path, &restorable, summary);
    return S_OK;
}

// What the backup's own check found, for the message after it was written.
std::wstring BackupNotes(const BackupSummary& summary) {
    if (summary.problem != BackupProblem::None)
        return Format(kCannotRestore, Reason(summary).c_str());
    return Unreadable(summary);
}

// A window that names the window kind of request when no main window exists: of the
// main window's class and title, so that the broker finds the real one when a call comes.
// Only for messages, so that the broker never finds this one.
class RequestWindow {
public:
    RequestWindow() {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kMainWindowClass;
        registered = RegisterClassW(&windowClass) != 0;
        hwnd = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, 0, 0, 0, 0, 0, HWND_MESSAGE,
                               nullptr, windowClass.hInstance, nullptr);
    }
    ~RequestWindow() {
        if (hwnd)
            DestroyWindow(hwnd);
        if (registered)
            UnregisterClassW(kMainWindowClass, GetModuleHandleW(nullptr));
    }
    RequestWindow(const RequestWindow&) = delete;
    RequestWindow& operator=(const RequestWindow&) = delete;

    HWND hwnd = nullptr;

private:
    bool registered = false;
};

class LoadedResources {
public:
    LoadedResources()
        : previous(ResourceLibrary()),
          library(previous
                      ? nullptr
                      : LoadLibraryExW(kResourceLibraryName, nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
        if (library)
            SetResourceLibrary(library);
    }
    ~LoadedResources() {
        if (!library)
            return;
        SetResourceLibrary(previous);
        FreeLibrary(library);
    }
    LoadedResources(const LoadedResources&) = delete;
    LoadedResources& operator=(const LoadedResources&) = delete;

private:
    HMODULE previous; // borrowed: a library already loaded is used as it is
    HMODULE library;
};

void PrintLines(DWORD which, const std::wstring& text) {
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        if (end > start)
            WriteStandardLine(which, text.substr(start, end - start).c_str());
        start = end + 1;
    }
}

int RunBackup(const BackupCommandLine& command) {
    BackupSummary summary;
    if (FAILED(WriteBackup(command.path.c_str(), command.history, &summary))) {
        WriteStandardLine(STD_ERROR_HANDLE, Format(kNotWritten, command.path.c_str()).c_str());
        return kExitNotWritten;
    }
    WriteStandardLine(STD_OUTPUT_HANDLE, Format(kBackedUp, command.path.c_str(),
                                                Holdings(summary, summary.history).c_str())
                                             .c_str());
    PrintLines(STD_ERROR_HANDLE, BackupNotes(summary));
    return kExitDone;
}

int RunRestore(const BackupCommandLine& command) {
    // An open window would write its own settings back when it closes. The instance is
    // let go at once: a call while the data changes is screened by a process of its own.
    HANDLE instance = nullptr;
    HWND existing = nullptr;
    BOOL found = FALSE;
    HRESULT hr = LazyPreviousInstance(kMainWindowClass, nullptr, &instance, &existing, &found);
    if (instance)
        CloseHandle(instance);
    if (SUCCEEDED(hr) && found) {
        WriteStandardLine(STD_ERROR_HANDLE, ResourceText(kVesperaOpen).Get());
        return kExitNotWritten;
    }
    int code = kExitDone;
    BackupTree tree;
    BackupSummary summary;
    if (FAILED(ReadBackupFile(command.path.c_str(), &tree, &summary))) {
        WriteStandardLine(STD_ERROR_HANDLE,
                          Format(kCannotRestore, Reason(summary).c_str()).c_str());
        code = kExitRefused;
    } else {
        PrintLines(STD_ERROR_HANDLE, Unreadable(summary));
        RequestWindow window;
        bool putBack = true;
        if (FAILED(RestoreStoredData(tree, summary.history, window.hwnd, &putBack))) {
            WriteStandardLine(STD_ERROR_HANDLE,
                              ResourceText(putBack ? kRestoreFailed : kNotPutBack).Get());
            code = kExitNotWritten;
        } else {
            WriteStandardLine(
                STD_OUTPUT_HANDLE,
                Format(kRestored, Holdings(summary, summary.history).c_str()).c_str());
        }
    }
    return code;
}

bool IsSwitch(const std::wstring& line, size_t at, LPCWSTR name, size_t* end) {
    const size_t length = wcslen(name);
    if (line.size() - at < length ||
        CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, line.c_str() + at,
                       static_cast<int>(length), name, static_cast<int>(length)) != CSTR_EQUAL)
        return false;
    if (at + length < line.size() && line[at + length] != L' ' && line[at + length] != L'\t')
        return false;
    *end = at + length;
    return true;
}

size_t SkipSpaces(const std::wstring& line, size_t at) {
    while (at < line.size() && (line[at] == L' ' || line[at] == L'\t'))
        ++at;
    return at;
}

} // namespace

BackupCommandLine ParseBackupCommandLine(LPCWSTR commandLine) {
    BackupCommandLine parsed;
    const std::wstring line = commandLine ? commandLine : L"";
    size_t at = SkipSpaces(line, 0);
    if (IsSwitch(line, at, kBackupSwitch, &at))
        parsed.command = BackupCommandLine::Command::Backup;
    else if (IsSwitch(line, at, kRestoreSwitch, &at))
        parsed.command = BackupCommandLine::Command::Restore;
    else
        return parsed;
    at = SkipSpaces(line, at);
    if (parsed.command == BackupCommandLine::Command::Backup &&
        IsSwitch(line, at, kHistorySwitch, &at)) {
        parsed.history = true;
        at = SkipSpaces(line, at);
    }
    if (at < line.size() && line[at] == L'"') {
        const size_t close = line.find(L'"', at + 1);
        parsed.path = line.substr(at + 1, close == std::wstring::npos ? close : close - at - 1);
        return parsed;
    }
    size_t end = line.size();
    while (end > at && (line[end - 1] == L' ' || line[end - 1] == L'\t'))
        --end;
    parsed.path = line.substr(at, end - at);
    return parsed;
}

HRESULT RestoreStoredData(const BackupTree& wanted, bool withHistory, HWND window, bool* putBack) {
    bool back = true;
    BackupTree before;
    HRESULT hr = ReadStoredData(withHistory, &before);
    CallRequest previous;
    if (SUCCEEDED(hr))
        hr = StoredCallRequest(&previous);
    CallRequest transitional;
    transitional.kind = CallRequestKind::Window;
    if (SUCCEEDED(hr) && previous != transitional)
        hr = RegisterCallRequest(transitional, window, &previous);
    if (FAILED(hr)) {
        if (putBack)
            *putBack = true;
        return hr;
    }
    hr = ReplaceStoredData(wanted, before, withHistory, &back);
    if (SUCCEEDED(hr)) {
        CallRequest request;
        hr = StoredCallRequest(&request);
        if (SUCCEEDED(hr))
            hr = RegisterCallRequest(request, window, &transitional);
        if (FAILED(hr))
            back = SUCCEEDED(SyncStoredData(before, withHistory));
    }
    if (FAILED(hr)) {
        // The request for what is stored now: the data before, unless it could not all
        // be put back, when the window kind decides by whatever is there.
        CallRequest request = transitional;
        if (!back || FAILED(StoredCallRequest(&request)))
            request = transitional;
        RegisterCallRequest(request, window, &transitional);
    }
    if (putBack)
        *putBack = back;
    return hr;
}

void BackUpFromMenu(HWND owner) {
    std::wstring path;
    if (FAILED(BackupPath(&path))) {
        MessageBoxW(owner, Format(kNotWritten, kBackupFileName).c_str(), kCaption,
                    MB_OK | MB_ICONERROR);
        return;
    }
    BackupTree stored, readable;
    BackupSummary counts;
    {
        WaitCursor wait;
        if (SUCCEEDED(ReadStoredData(true, &stored)))
            CheckBackup(stored, &readable, &counts);
    }
    bool withHistory = false;
    const std::wstring question = Format(kAskBackup, path.c_str());
    if (counts.calls > 0) {
        const std::wstring history =
            Format(kAskBackupHistory, Count(counts.calls, kOneCall, kCalls).c_str());
        const int answer = MessageBoxW(owner, Paragraphs({question, history}).c_str(), kCaption,
                                       MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL)
            return;
        withHistory = answer == IDYES;
    } else if (MessageBoxW(owner, question.c_str(), kCaption, MB_OKCANCEL | MB_ICONQUESTION) !=
               IDOK) {
        return;
    }
    BackupSummary summary;
    HRESULT hr = S_OK;
    {
        WaitCursor wait;
        hr = WriteBackup(path.c_str(), withHistory, &summary);
    }
    if (FAILED(hr)) {
        MessageBoxW(owner, Format(kNotWritten, path.c_str()).c_str(), kCaption,
                    MB_OK | MB_ICONERROR);
        return;
    }
    const std::wstring done =
        Format(kBackedUp, path.c_str(), Holdings(summary, withHistory).c_str());
    MessageBoxW(owner, Paragraphs({done, BackupNotes(summary)}).c_str(), kCaption,
                MB_OK | MB_ICONINFORMATION);
}

bool RestoreFromMenu(HWND owner) {
    std::wstring path;
    BackupTree tree;
    BackupSummary summary;
    HRESULT hr = BackupPath(&path);
    if (FAILED(hr)) {
        summary.problem = BackupProblem::Missing;
        summary.detail = kBackupFileName;
    } else {
        WaitCursor wait;
        hr = ReadBackupFile(path.c_str(), &tree, &summary);
    }
    if (FAILED(hr)) {
        MessageBoxW(owner, Format(kCannotRestore, Reason(summary).c_str()).c_str(), kCaption,
                    MB_OK | MB_ICONERROR);
        return false;
    }
    BackupTree stored, readable;
    BackupSummary now;
    {
        WaitCursor wait;
        if (SUCCEEDED(ReadStoredData(true, &stored)))
            CheckBackup(stored, &readable, &now);
    }
    const std::wstring replace =
        Format(kAskRestore, Holdings(now, false).c_str(), Holdings(summary, false).c_str());
    const std::wstring history =
        summary.history ? Format(kHistoryReplaced, Count(now.calls, kOneCall, kCalls).c_str(),
                                 Count(summary.calls, kOneCall, kCalls).c_str())
                        : std::wstring(ResourceText(kHistoryStays).Get());
    if (MessageBoxW(owner, Paragraphs({replace, Unreadable(summary), history}).c_str(), kCaption,
                    MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return false;
    bool putBack = true;
    {
        WaitCursor wait;
        hr = RestoreStoredData(tree, summary.history, owner, &putBack);
    }
    if (FAILED(hr))
        MessageBoxW(owner, ResourceText(putBack ? kRestoreFailed : kNotPutBack).Get(), kCaption,
                    MB_OK | MB_ICONERROR);
    else
        MessageBoxW(owner, Format(kRestored, Holdings(summary, summary.history).c_str()).c_str(),
                    kCaption, MB_OK | MB_ICONINFORMATION);
    return true;
}

int RunBackupCommand(const BackupCommandLine& command) {
    waitCursorsHidden = true;
    LoadedResources resources;
    if (command.path.empty()) {
        WriteStandardLine(STD_ERROR_HANDLE, kUsage);
        return kExitRefused;
    }
    return command.command == BackupCommandLine::Command::Restore ? RunRestore(command)
                                                                  : RunBackup(command);
}
