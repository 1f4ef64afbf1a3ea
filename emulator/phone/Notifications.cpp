#include "phone/Notifications.h"
#include "phone/Output.h"
#include <common/BrokerStore.h>
#include <regext.h>

struct NotificationBroker::Request {
    std::wstring name;
    DWORD root = 0;
    std::wstring subKey;
    std::wstring valueName;
    std::wstring command;
    StateValue windowClass;
    StateValue title;
    DWORD message = 0;
    DWORD flags = 0;
    DWORD comparison = REG_CT_ANYCHANGE;
    DWORD mask = 0xFFFFFFFF;
    StateValue target;
};

namespace {

// How long a firing waits for a started program to be ready for its message.
const DWORD kInputIdleMs = 5000;
// Starts of a request's program, when Wine fails them as it sometimes does.
const int kStartAttempts = 3;

LONGLONG Counter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The key path without leading or trailing separators, so "\A\B\" watches "A\B".
std::wstring TrimPath(const std::wstring& path) {
    size_t first = path.find_first_not_of(L'\\');
    if (first == std::wstring::npos)
        return {};
    size_t last = path.find_last_not_of(L'\\');
    return path.substr(first, last - first + 1);
}

DWORD ReadDword(const StateValue& value, DWORD fallback) {
    return value.kind == StateValue::Dword ? value.number : fallback;
}

std::vector<std::wstring> RequestNames() {
    std::vector<std::wstring> names;
    RegKey requests;
    if (FAILED(requests.Open(BROKER_ROOT, BROKER_REQUESTS_PATH, KEY_ENUMERATE_SUB_KEYS)))
        return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD chars = ARRAYSIZE(name);
        LONG code =
            RegEnumKeyExW(requests.Get(), index, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (code == ERROR_MORE_DATA)
            continue;
        if (code != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    return names;
}

// Text comparisons ignore case, as the broker's do.
int CompareText(const std::wstring& a, const std::wstring& b) {
    int result = CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE);
    return result - CSTR_EQUAL;
}

bool ContainsText(const std::wstring& text, const std::wstring& part, bool atStart, bool atEnd) {
    if (part.size() > text.size())
        return false;
    for (size_t at = 0; at + part.size() <= text.size(); ++at) {
        if (atStart && at > 0)
            return false;
        if (atEnd && at + part.size() != text.size())
            continue;
        if (CompareStringOrdinal(text.c_str() + at, static_cast<int>(part.size()), part.c_str(),
                                 static_cast<int>(part.size()), TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}

bool ConditionHolds(DWORD comparison, DWORD mask, const StateValue& target,
                    const StateValue& before, const StateValue& after) {
    if (comparison == REG_CT_ANYCHANGE)
        return before != after;
    if (after.kind == StateValue::Dword && target.kind == StateValue::Dword) {
        DWORD value = after.number & mask;
        DWORD goal = target.number;
        switch (comparison) {
        case REG_CT_EQUAL:
            return value == goal;
        case REG_CT_NOT_EQUAL:
            return value != goal;
        case REG_CT_GREATER:
            return value > goal;
        case REG_CT_GREATER_OR_EQUAL:
            return value >= goal;
        case REG_CT_LESS:
            return value < goal;
        case REG_CT_LESS_OR_EQUAL:
            return value <= goal;
        default:
            return false;
        }
    }
    if (after.kind == StateValue::Text && target.kind == StateValue::Text) {
        const std::wstring& value = after.text;
        const std::wstring& goal = target.text;
        switch (comparison) {
        case REG_CT_EQUAL:
            return CompareText(value, goal) == 0;
        case REG_CT_NOT_EQUAL:
            return CompareText(value, goal) != 0;
        case REG_CT_GREATER:
            return CompareText(value, goal) > 0;
        case REG_CT_GREATER_OR_EQUAL:
            return CompareText(value, goal) >= 0;
        case REG_CT_LESS:
            return CompareText(value, goal) < 0;
        case REG_CT_LESS_OR_EQUAL:
            return CompareText(value, goal) <= 0;
        case REG_CT_CONTAINS:
            return ContainsText(value, goal, false, false);
        case REG_CT_STARTS_WITH:
            return ContainsText(value, goal, true, false);
        case REG_CT_ENDS_WITH:
            return ContainsText(value, goal, false, true);
        default:
            return false;
        }
    }
    return false;
}

} // namespace

NotificationBroker::~NotificationBroker() {
    for (HANDLE process : started)
        CloseHandle(process);
}

void NotificationBroker::ValueChanged(HKEY root, LPCWSTR path, LPCWSTR name,
                                      const StateValue& before, const StateValue& after) {
    const LONGLONG changedAt = Counter();
    const DWORD rootNumber = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(root));
    const std::wstring watchedPath = TrimPath(path);
    for (const std::wstring& requestName : RequestNames()) {
        std::wstring key = std::wstring(BROKER_REQUESTS_PATH) + L"\\" + requestName;
        auto read = [&](LPCWSTR value) { return ReadValue(BROKER_ROOT, key.c_str(), value); };
        Request request;
        request.name = requestName;
        request.root = ReadDword(read(BROKER_ROOTKEY_VALUE), 0);
        StateValue subKey = read(BROKER_SUBKEY_VALUE);
        StateValue valueName = read(BROKER_VALUENAME_VALUE);
        StateValue command = read(BROKER_COMMAND_VALUE);
        if (request.root != rootNumber || subKey.kind != StateValue::Text ||
            !SameText(TrimPath(subKey.text), watchedPath))
            continue;
        // A request without a value name watches the key's default value.
        std::wstring watchedName = valueName.kind == StateValue::Text ? valueName.text : L"";
        if (!SameText(watchedName, name ? name : L""))
            continue;
        if (command.kind != StateValue::Text || command.text.empty()) {
            PrintError(L"request \"%ls\" has no command; not fired", requestName.c_str());
            continue;
        }
        request.command = command.text;
        request.windowClass = read(BROKER_CLASS_VALUE);
        request.title = read(BROKER_TITLE_VALUE);
        request.message = ReadDword(read(BROKER_MESSAGE_VALUE), 0);
        request.flags = ReadDword(read(BROKER_FLAGS_VALUE), 0);
        request.comparison = ReadDword(read(BROKER_COMPARISON_VALUE), REG_CT_ANYCHANGE);
        request.mask = ReadDword(read(BROKER_MASK_VALUE), 0xFFFFFFFF);
        request.target = read(BROKER_TARGET_VALUE);
        if (ConditionHolds(request.comparison, request.mask, request.target, before, after)) {
            timings.written = changedAt;
            Fire(request, after);
        }
    }
}

bool NotificationBroker::Post(const Delivery& delivery, Timings* timings) {
    HWND window = FindWindowW(delivery.hasClass ? delivery.windowClass.c_str() : nullptr,
                              delivery.hasTitle ? delivery.title.c_str() : nullptr);
    if (!window)
        return false;
    PostMessageW(window, delivery.message, delivery.wParam, 0);
    timings->posted = Counter();
    return true;
}

void NotificationBroker::Fire(const Request& request, const StateValue& value) {
    Delivery delivery;
    delivery.hasClass = request.windowClass.kind == StateValue::Text;
    delivery.hasTitle = request.title.kind == StateValue::Text;
    delivery.windowClass = request.windowClass.text;
    delivery.title = request.title.text;
    delivery.message = request.message;
    // The message carries the new value when it is a number.
    delivery.wParam = value.kind == StateValue::Dword ? value.number : 0;
    const bool wantsWindow = delivery.hasClass || delivery.hasTitle;
    if (wantsWindow && Post(delivery, &timings))
        return;

    std::wstring commandLine = request.command;
    if (!(request.flags & RNAF_NONAMEONCMDLINE))
        commandLine += L" " + request.name;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    timings.startCalled = Counter();
    // The started program gets none of the phone's handles: the phone's output stays
    // its own and ends when the phone ends. Wine rarely fails a start with
    // ERROR_INTERNAL_ERROR, a failure of the moment (seen once in some hundreds of
    // starts on an idle machine): a call must not ring out unscreened for it, so the
    // start is tried again.
    BOOL created = FALSE;
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        created = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &process);
        if (created || GetLastError() != ERROR_INTERNAL_ERROR)
            break;
    }
    if (!created) {
        PrintError(L"request \"%ls\": cannot start %ls (error %lu)", request.name.c_str(),
                   commandLine.c_str(), GetLastError());
        return;
    }
    timings.started = Counter();
    CloseHandle(process.hThread);
    started.push_back(process.hProcess);
    if (wantsWindow) {
        delivery.process = process.hProcess;
        pending.push_back(delivery);
        // The window comes before the program's message loop first waits: waiting for
        // that moment delivers the message as soon as the program can take it, without
        // looking for the window again and again meanwhile. A program that never waits
        // for input (or ends first) only costs the bound; then the looking goes on.
        WaitForInputIdle(process.hProcess, kInputIdleMs);
    }
}

void NotificationBroker::DeliverPending() {
    for (size_t i = 0; i < pending.size();) {
        // The started program may end without a window (another instance of it holds
        // the window, or is still making it): whichever window appears while the call
        // rings takes the message.
        if (Post(pending[i], &timings)) {
            pending.erase(pending.begin() + i);
            continue;
        }
        if (!pending[i].programEnded && WaitForSingleObject(pending[i].process, 0) == WAIT_OBJECT_0)
            pending[i].programEnded = true;
        ++i;
    }
}

void NotificationBroker::DropPending() {
    DeliverPending();
    for (const Delivery& delivery : pending)
        PrintError(delivery.programEnded
                       ? L"the started program ended, and no window took the message %u "
                         L"while the call rang"
                       : L"no window took the message %u while the call rang",
                   delivery.message);
    pending.clear();
}

size_t NotificationBroker::CrashedCount() const {
    size_t crashed = 0;
    for (HANDLE process : started) {
        DWORD code = 0;
        // Exception codes carry the error severity in their top bits.
        if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(process, &code) && code >= 0xC0000000u)
            ++crashed;
    }
    return crashed;
}

bool NotificationBroker::HasPending() const {
    return !pending.empty();
}

size_t NotificationBroker::WaitForStarted(DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        size_t running = 0;
        for (HANDLE process : started)
            if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0)
                ++running;
        if (running == 0 || GetTickCount64() >= deadline)
            return running;
        Sleep(10);
    }
}
