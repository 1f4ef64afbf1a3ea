// Application-wide state that outlives a run: the sample flag, the active profile and
// the one-time notices; plus the bold font and the platform type of this run.
#pragma once
#include <windows.h>

const int kKeyNameChars = 39; // a braced GUID and its terminator

class AppSettings {
public:
    AppSettings();
    ~AppSettings();
    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    HRESULT Load();
    HRESULT Save();
    HRESULT SetActiveProfile(LPCWSTR keyName);
    HRESULT ShowNoticeOnce(HWND owner, UINT noticeId, UINT captionId);

    DWORD sampleCreated = 0;
    HFONT boldFont = nullptr;
    WCHAR activeProfile[kKeyNameChars] = L"";
    int platformType = 0;
};
