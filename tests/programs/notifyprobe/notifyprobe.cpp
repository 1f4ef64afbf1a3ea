// notifyprobe TAG [--window CLASS TITLE] [--refuse] [anything the broker adds]
//
// Records, under HKCU\Software\PhoneEmulatorTests\Probe\TAG\<process id>, its command
// line and the phone state it saw when it started ("CommandLine", "SeenStatus",
// "SeenNumber", "SeenName", "SeenOid"; a value is missing when the state lacked it).
// With --window it makes a hidden window of that class and title and waits for one user
// message, recorded as "Message" and "WParam". With --refuse it presses and releases End
// (at start without --window, else when the message came). It always ends by itself.
#include <windows.h>
#include <shellapi.h>
#include <snapi.h>
#include <string>

namespace {

const wchar_t kProbeRoot[] = L"Software\\PhoneEmulatorTests\\Probe";
const UINT kGiveUpMs = 20000;

HKEY record = nullptr;
bool refuse = false;

void SetDword(LPCWSTR name, DWORD value) {
    RegSetValueExW(record, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof(value));
}

void SetText(LPCWSTR name, LPCWSTR text) {
    RegSetValueExW(record, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
}

void CopyState(LPCWSTR stateName, LPCWSTR recordName) {
    BYTE data[512];
    DWORD size = sizeof(data);
    DWORD type = 0;
    if (RegGetValueW(SN_PHONE_ROOT, SN_PHONE_PATH, stateName, RRF_RT_REG_SZ | RRF_RT_REG_DWORD,
                     &type, data, &size) == ERROR_SUCCESS)
        RegSetValueExW(record, recordName, 0, type, data, size);
}

void PressEnd() {
    keybd_event(VK_F4, 0, 0, 0);
    keybd_event(VK_F4, 0, KEYEVENTF_KEYUP, 0);
}

LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_USER && message < 0xC000) {
        SetDword(L"Message", message);
        SetDword(L"WParam", static_cast<DWORD>(wParam));
        if (refuse)
            PressEnd();
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_TIMER) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2)
        return 2;
    std::wstring windowClass, title;
    bool wantsWindow = false;
    for (int i = 2; i < argc; ++i) {
        if (wcscmp(argv[i], L"--window") == 0 && i + 2 < argc) {
            wantsWindow = true;
            windowClass = argv[++i];
            title = argv[++i];
        } else if (wcscmp(argv[i], L"--refuse") == 0) {
            refuse = true;
        }
    }
    std::wstring path =
        std::wstring(kProbeRoot) + L"\\" + argv[1] + L"\\" + std::to_wstring(GetCurrentProcessId());
    LocalFree(argv);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &record, nullptr) != ERROR_SUCCESS)
        return 1;
    SetText(L"CommandLine", GetCommandLineW());
    CopyState(SN_PHONESTATUS_VALUE, L"SeenStatus");
    CopyState(SN_PHONEINCOMINGCALLERNUMBER_VALUE, L"SeenNumber");
    CopyState(SN_PHONEINCOMINGCALLERNAME_VALUE, L"SeenName");
    CopyState(SN_PHONEINCOMINGCALLEROID_VALUE, L"SeenOid");

    if (!wantsWindow) {
        if (refuse)
            PressEnd();
    } else {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ProbeWindowProc;
        wc.hInstance = instance;
        wc.lpszClassName = windowClass.c_str();
        RegisterClassW(&wc);
        HWND window = CreateWindowW(windowClass.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0,
                                    100, 100, nullptr, nullptr, instance, nullptr);
        if (window) {
            SetTimer(window, 1, kGiveUpMs, nullptr);
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0)
                DispatchMessageW(&message);
        }
    }
    RegCloseKey(record);
    return 0;
}
