// Application-wide state that outlives a run: the sample flag, the active profile and
// the one-time notices; plus the bold font and the platform type of this run.
#pragma once
#include "store/TimedProfile.h"
#include <windows.h>

const int kKeyNameChars = 39; // a braced GUID and its terminator
const int kNoticeValueNameChars = 30;

// The stored "ActiveProfile" alone, read without the settings object, which the
// block-all path does not build; empty when none is stored, or when it is longer than a
// key name (then not read, and the result says so).
HRESULT ReadActiveProfileKeyName(WCHAR (&keyName)[kKeyNameChars]);

// "PauseEndedAt": when the user last ended a pause of screening after an emergency
// call, as local time "YYYY-MM-DD hh:mm:ss"; a pause for a call that started at or
// before it is over. S_FALSE, and a zero time, when none is stored or it does not read.
HRESULT ReadPauseEndedAt(SYSTEMTIME* at);
HRESULT WritePauseEndedAt(const SYSTEMTIME& at);

class AppSettings {
public:
    AppSettings();
    ~AppSettings();
    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    // A process started for an incoming call reads only the active profile and
    // never writes.
    HRESULT Load();
    // Forgets what was read and reads again, as a new run would: after the stored data
    // was replaced whole.
    HRESULT Reload();
    HRESULT Save();
    // Null stores the empty string; a text that does not fit leaves it empty and fails.
    HRESULT SetActiveProfile(LPCWSTR keyName);
    // The active profile is in force until then, and the next one (null: Off) after it.
    HRESULT SetTimedProfile(const SYSTEMTIME& until, LPCWSTR next);
    // The active profile stays in force with no end.
    void EndTimedProfile();
    bool IsTimed() const { return activeUntil[0] != L'\0'; }
    // Writes the active profile and the timed values at once, in every process: a
    // hand-back takes effect before the window goes, also in a process started for a call.
    HRESULT SaveActiveProfile();
    // Shows the notice in a modal box unless it was shown before (E_FAIL then, as for
    // an unknown notice). Caption 0 means the product name.
    HRESULT ShowNoticeOnce(HWND owner, UINT noticeId, UINT captionId);
    bool IsNoticeShown(UINT noticeId) const;
    HRESULT CreateBoldFont();

    static HRESULT NoticeValueName(UINT noticeId, LPWSTR buffer); // kNoticeValueNameChars
    static int QueryPlatformType();                               // 1 Pocket PC, 2 Smartphone

    DWORD sampleCreated = 0;
    HFONT boldFont = nullptr;
    WCHAR activeProfile[kKeyNameChars] = L"";
    // A stored "ActiveProfile" that could not be taken (too long, not text): the run
    // goes on as Off, and the next save removes the value.
    bool activeProfileUnreadable = false;
    // Both empty unless a timed profile is in force: "ActiveUntil" and "NextProfile".
    WCHAR activeUntil[kActiveUntilChars] = L"";
    WCHAR nextProfile[kKeyNameChars] = L"";
    int platformType = 0;

private:
    static const int kNoticeCount = 3;
    bool noticeShown[kNoticeCount] = {};
};
