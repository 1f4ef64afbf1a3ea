#include "store/AppSettings.h"
#include "store/AppKeys.h"
#include "platform/Process.h"
#include "platform/Cursor.h"
#include "platform/Device.h"
#include "platform/Resources.h"
#include "store/RegistryKey.h"
#include "store/StoredTime.h"
#include <strsafe.h>
#include <string.h>
#include <wchar.h>

namespace {

const WCHAR kSampleValue[] = L"Sample";
const WCHAR kActiveProfileValue[] = L"ActiveProfile";
const WCHAR kActiveUntilValue[] = L"ActiveUntil";
const WCHAR kNextProfileValue[] = L"NextProfile";
const WCHAR kPauseEndedValue[] = L"PauseEndedAt";
const WCHAR kNoticePrefix[] = L"OneTimeMsg";
const WCHAR kProductName[] = L"Vespera";
const UINT kNoticeIds[] = {190, 191, 192};
const WCHAR kBoldFace[] = L"Tahoma";

const int kPlatformTypeChars = 64;
const int kPocketPc = 1, kSmartphone = 2;

int NoticeIndex(UINT noticeId) {
    for (int i = 0; i < static_cast<int>(ARRAYSIZE(kNoticeIds)); ++i)
        if (kNoticeIds[i] == noticeId)
            return i;
    return -1;
}

bool DeleteSucceeded(LONG code) {
    return code == ERROR_SUCCESS || code == ERROR_FILE_NOT_FOUND;
}

// A text value that fits the buffer whole; anything else (missing, another type, too
// long) leaves the buffer empty.
void ReadFixedString(RegistryKey& key, LPCWSTR name, LPWSTR buffer, DWORD chars) {
    DWORD read = chars;
    if (key.ReadString(name, buffer, &read) != ERROR_SUCCESS)
        buffer[0] = L'\0';
}

// The two values go together: both while a timed profile is in force, neither
// otherwise. The end is written last and removed first, so that a process reading
// meanwhile never finds an end without the profile that follows it.
HRESULT WriteTimedProfile(RegistryKey& key, LPCWSTR activeUntil, LPCWSTR nextProfile) {
    if (activeUntil[0]) {
        if (key.WriteString(kNextProfileValue, nextProfile, REG_SZ) != ERROR_SUCCESS ||
            key.WriteString(kActiveUntilValue, activeUntil, REG_SZ) != ERROR_SUCCESS)
            return E_FAIL;
        return S_OK;
    }
    if (!DeleteSucceeded(key.DeleteValue(kActiveUntilValue)) ||
        !DeleteSucceeded(key.DeleteValue(kNextProfileValue)))
        return E_FAIL;
    return S_OK;
}

} // namespace

HRESULT ReadActiveProfileKeyName(WCHAR (&keyName)[kKeyNameChars]) {
    keyName[0] = L'\0';
    RegistryKey key;
    if (key.Open(HKEY_CURRENT_USER, kAppKeyPath, KEY_READ) != ERROR_SUCCESS)
        return S_OK;
    DWORD chars = kKeyNameChars;
    LONG code = key.ReadString(kActiveProfileValue, keyName, &chars);
    if (code == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (code != ERROR_SUCCESS) {
        keyName[0] = L'\0';
        return HRESULT_FROM_WIN32(code);
    }
    return S_OK;
}

HRESULT ReadPauseEndedAt(SYSTEMTIME* at) {
    if (!at)
        return E_INVALIDARG;
    *at = SYSTEMTIME{};
    RegistryKey key;
    if (key.Open(HKEY_CURRENT_USER, kAppKeyPath, KEY_READ) != ERROR_SUCCESS)
        return S_FALSE;
    WCHAR text[kStoredSecondTextChars];
    ReadFixedString(key, kPauseEndedValue, text, ARRAYSIZE(text));
    if (!text[0] || FAILED(ParseStoredSecond(text, at))) {
        *at = SYSTEMTIME{};
        return S_FALSE;
    }
    return S_OK;
}

HRESULT WritePauseEndedAt(const SYSTEMTIME& at) {
    WCHAR text[kStoredSecondTextChars];
    HRESULT hr = FormatStoredSecond(at, text, ARRAYSIZE(text));
    if (FAILED(hr))
        return hr;
    RegistryKey key;
    if (key.Create(HKEY_CURRENT_USER, kAppKeyPath, nullptr, 0, KEY_READ | KEY_WRITE, nullptr) !=
            ERROR_SUCCESS ||
        key.WriteString(kPauseEndedValue, text, REG_SZ) != ERROR_SUCCESS)
        return E_FAIL;
    return S_OK;
}

AppSettings::AppSettings() : platformType(QueryPlatformType()) {}

AppSettings::~AppSettings() {
    if (boldFont)
        DeleteObject(boldFont);
}

HRESULT AppSettings::Load() {
    WaitCursor wait;
    HRESULT hr = S_OK;
    RegistryKey key;
    if (key.Open(HKEY_CURRENT_USER, kAppKeyPath, KEY_READ) == ERROR_SUCCESS) {
        if (!LaunchedByNotification) {
            for (int i = 0; i < kNoticeCount; ++i) {
                WCHAR valueName[kNoticeValueNameChars];
                hr = NoticeValueName(kNoticeIds[i], valueName);
                if (FAILED(hr))
                    return hr;
                DWORD shown = 0;
                if (key.ReadDword(valueName, &shown) == ERROR_SUCCESS)
                    noticeShown[i] = shown != 0;
            }
            DWORD sample = 0;
            if (key.ReadDword(kSampleValue, &sample) == ERROR_SUCCESS)
                sampleCreated = sample != 0 ? 1 : 0;
        }
        // An active profile that cannot be taken must not keep the user out: the
        // run goes on as Off, which the user can then repair.
        LPWSTR stored = nullptr;
        hr = key.ReadStringCopy(kActiveProfileValue, &stored, kKeyNameChars);
        if (SUCCEEDED(hr) && stored)
            hr = SetActiveProfile(stored);
        else if (SUCCEEDED(hr) && RegQueryValueExW(key.Handle(), kActiveProfileValue, nullptr,
                                                   nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            hr = E_FAIL; // there, but no text
        if (stored)
            LocalFree(stored);
        if (FAILED(hr)) {
            activeProfile[0] = L'\0';
            activeProfileUnreadable = true;
            hr = S_OK;
        }
        // A call is screened with the timed values in view, so every process reads them.
        // An end that is no time counts as none, and then the next profile means nothing.
        ReadFixedString(key, kActiveUntilValue, activeUntil, ARRAYSIZE(activeUntil));
        ReadFixedString(key, kNextProfileValue, nextProfile, ARRAYSIZE(nextProfile));
        SYSTEMTIME until;
        if (FAILED(ParseActiveUntil(activeUntil, &until)))
            EndTimedProfile();
    }
    if (!LaunchedByNotification && !boldFont)
        hr = CreateBoldFont();
    return hr;
}

HRESULT AppSettings::Reload() {
    sampleCreated = 0;
    activeProfile[0] = L'\0';
    activeProfileUnreadable = false;
    EndTimedProfile();
    for (bool& shown : noticeShown)
        shown = false;
    return Load();
}

HRESULT AppSettings::Save() {
    WaitCursor wait;
    if (LaunchedByNotification)
        return S_OK;
    RegistryKey key;
    if (key.Create(HKEY_CURRENT_USER, kAppKeyPath, nullptr, 0, KEY_READ | KEY_WRITE, nullptr) !=
        ERROR_SUCCESS)
        return E_FAIL;
    // Every value is attempted, whatever became of the one before: a failed "Sample"
    // must not cost the active profile, which the broker request already follows.
    HRESULT result = S_OK;
    auto note = [&result](HRESULT hr) {
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    };
    auto written = [](LONG code) { return code == ERROR_SUCCESS ? S_OK : E_FAIL; };
    note(written(key.WriteDword(kSampleValue, sampleCreated)));
    if (activeProfile[0])
        note(written(key.WriteString(kActiveProfileValue, activeProfile, REG_SZ)));
    else if (!DeleteSucceeded(key.DeleteValue(kActiveProfileValue)))
        note(E_FAIL);
    note(WriteTimedProfile(key, activeUntil, nextProfile));
    for (int i = 0; i < kNoticeCount; ++i) {
        WCHAR valueName[kNoticeValueNameChars];
        HRESULT hr = NoticeValueName(kNoticeIds[i], valueName);
        if (SUCCEEDED(hr))
            hr = written(key.WriteDword(valueName, noticeShown[i] ? 1 : 0));
        note(hr);
    }
    return result;
}

HRESULT AppSettings::SetActiveProfile(LPCWSTR keyName) {
    return StringCchCopyExW(activeProfile, ARRAYSIZE(activeProfile), keyName, nullptr, nullptr,
                            STRSAFE_IGNORE_NULLS | STRSAFE_NULL_ON_FAILURE);
}

HRESULT AppSettings::SetTimedProfile(const SYSTEMTIME& until, LPCWSTR next) {
    WCHAR end[kActiveUntilChars];
    HRESULT hr = FormatActiveUntil(until, end, ARRAYSIZE(end));
    if (FAILED(hr))
        return hr;
    WCHAR after[kKeyNameChars];
    hr = StringCchCopyW(after, ARRAYSIZE(after), next ? next : L"");
    if (FAILED(hr))
        return hr;
    memcpy(activeUntil, end, sizeof(activeUntil));
    memcpy(nextProfile, after, sizeof(nextProfile));
    return S_OK;
}

void AppSettings::EndTimedProfile() {
    activeUntil[0] = L'\0';
    nextProfile[0] = L'\0';
}

HRESULT AppSettings::SaveActiveProfile() {
    WaitCursor wait;
    RegistryKey key;
    if (key.Create(HKEY_CURRENT_USER, kAppKeyPath, nullptr, 0, KEY_READ | KEY_WRITE, nullptr) !=
        ERROR_SUCCESS)
        return E_FAIL;
    // The active profile first: a reader that finds the timed values gone must find the
    // profile that followed them.
    if (activeProfile[0]) {
        if (key.WriteString(kActiveProfileValue, activeProfile, REG_SZ) != ERROR_SUCCESS)
            return E_FAIL;
    } else if (!DeleteSucceeded(key.DeleteValue(kActiveProfileValue))) {
        return E_FAIL;
    }
    return WriteTimedProfile(key, activeUntil, nextProfile);
}

HRESULT AppSettings::ShowNoticeOnce(HWND owner, UINT noticeId, UINT captionId) {
    int index = NoticeIndex(noticeId);
    if (index < 0 || noticeShown[index])
        return E_FAIL;
    ResourceText text(noticeId);
    if (captionId == 0) {
        MessageBoxW(owner, text.Get(), kProductName, MB_OK | MB_ICONINFORMATION);
    } else {
        ResourceText caption(captionId);
        MessageBoxW(owner, text.Get(), caption.Get(), MB_OK | MB_ICONINFORMATION);
    }
    noticeShown[index] = true;
    return S_OK;
}

bool AppSettings::IsNoticeShown(UINT noticeId) const {
    int index = NoticeIndex(noticeId);
    return index >= 0 && noticeShown[index];
}

HRESULT AppSettings::NoticeValueName(UINT noticeId, LPWSTR buffer) {
    if (!buffer)
        return E_INVALIDARG;
    return StringCchPrintfW(buffer, kNoticeValueNameChars, L"%s_%d", kNoticePrefix,
                            static_cast<int>(noticeId));
}

HRESULT AppSettings::CreateBoldFont() {
    HGDIOBJ systemFont = GetStockObject(SYSTEM_FONT);
    if (!systemFont)
        return E_FAIL;
    LOGFONTW description = {};
    if (GetObjectW(systemFont, sizeof(description), &description) == 0)
        return E_FAIL;
    HDC screen = GetDC(nullptr);
    if (!screen)
        return E_FAIL;
    int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    description.lfWeight = FW_BOLD;
    description.lfHeight = -(10 * pixelsPerInch) / 72; // ten points
    // Desktop Windows describes its bitmap system font with a fixed cell width, which
    // would stretch a font of another height; the width must follow the height.
    description.lfWidth = 0;
    // The stock description names the face "System", which has no bold cut here and
    // renders thin and letter-spaced; Tahoma, the phone's own face, has one.
    StringCchCopyW(description.lfFaceName, ARRAYSIZE(description.lfFaceName), kBoldFace);
    HFONT created = CreateFontIndirectW(&description);
    if (created) {
        if (boldFont)
            DeleteObject(boldFont);
        boldFont = created;
    }
    return S_OK;
}

int AppSettings::QueryPlatformType() {
    WCHAR type[kPlatformTypeChars] = L"";
    if (FAILED(GetPlatformTypeText(type, ARRAYSIZE(type))))
        return 0;
    if (wcsncmp(type, L"PocketPC", kPlatformTypeChars) == 0)
        return kPocketPc;
    if (wcsncmp(type, L"SmartPhone", kPlatformTypeChars) == 0)
        return kSmartphone;
    return 0;
}
