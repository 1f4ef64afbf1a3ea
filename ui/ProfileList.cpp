#include "ui/ProfileList.h"
#include "platform/Process.h"
#include "platform/Cursor.h"
#include "platform/LocalClock.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "store/NumberList.h"
#include "store/TimedProfile.h"
#include <new>
#include <strsafe.h>
#include <wchar.h>

namespace {

const UINT kInactiveIcon = 125;
const UINT kActiveIcon = 126;
const UINT kEmptyListText = 160;
const UINT kFirstModeName = 170; // 170 + mode
const UINT kUnknownModeName = 240;
const DWORD kLastMode = 7;
const UINT kOffEntryName = 181;
const UINT kFirstSampleName = 186;
const UINT kSecondSampleName = 187;
const UINT kUntilToday = 303, kUntilTomorrow = 304, kModeUntil = 306;
const int kDetailChars = 128;
const int kClockChars = 6; // "hh:mm"

// Orders rows as the list view orders sorted items: by text, ignoring case.
int CALLBACK CompareNames(LPARAM first, LPARAM second, LPARAM) {
    LPCWSTR firstName = reinterpret_cast<Profile*>(first)->name;
    LPCWSTR secondName = reinterpret_cast<Profile*>(second)->name;
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, firstName ? firstName : L"", -1,
                          secondName ? secondName : L"", -1) -
           CSTR_EQUAL;
}

} // namespace

void ProfileList::Bind(AppSettings* boundSettings, ProfileActivation* boundActivation) {
    settings = boundSettings;
    activation = boundActivation;
}

UINT ModeNameId(ScreeningMode mode) {
    const DWORD number = static_cast<DWORD>(mode);
    return number <= kLastMode ? kFirstModeName + number : kUnknownModeName;
}

ProfileList::~ProfileList() {
    Clear();
    DestroyIcons();
}

void ProfileList::DestroyIcons() {
    if (inactiveIcon)
        DestroyIcon(inactiveIcon);
    if (activeIcon)
        DestroyIcon(activeIcon);
    inactiveIcon = nullptr;
    activeIcon = nullptr;
}

HRESULT ProfileList::LoadResources() {
    HRESULT hr = SetEmptyText(ResourceText(kEmptyListText).Get());
    if (FAILED(hr))
        return hr;
    DestroyIcons();
    inactiveIcon = LoadResourceIcon(kInactiveIcon, iconWidth, iconHeight);
    activeIcon = LoadResourceIcon(kActiveIcon, iconWidth, iconHeight);
    return inactiveIcon && activeIcon ? S_OK : E_FAIL;
}

HRESULT ProfileList::Fill(LPCWSTR keyName) {
    WaitCursor wait;
    SendMessageW(hwnd, WM_SETREDRAW, FALSE, 0);
    int select = 0;
    HRESULT hr = SendMessageW(hwnd, LVM_DELETEALLITEMS, 0, 0) ? S_OK : E_FAIL;
    if (SUCCEEDED(hr))
        hr = Reload();
    blockedNumbersInUse = NumberListInUse(NumberListKind::Blocked);

    // The samples come once per installation: deleting them later does not bring
    // them back, since the flag is saved with the settings.
    if (SUCCEEDED(hr) && entries.size() == 1 && settings && !settings->sampleCreated &&
        !LaunchedByNotification) {
        CreateSampleProfile(ScreeningMode::BlockAll, kFirstSampleName);
        CreateSampleProfile(ScreeningMode::BlockUnknown, kSecondSampleName);
        settings->sampleCreated = 1;
        hr = Reload();
    }

    if (SUCCEEDED(hr)) {
        for (size_t i = 0; i < entries.size(); ++i) {
            LVITEMW item = {};
            item.mask = LVIF_TEXT | LVIF_PARAM;
            item.iItem = static_cast<int>(i);
            item.pszText = entries[i]->name;
            item.lParam = reinterpret_cast<LPARAM>(entries[i].get());
            if (SendMessageW(hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) == -1) {
                hr = E_FAIL;
                break;
            }
        }
    }

    // The list view leaves owner-drawn rows in insertion order whatever its sort style
    // says, so a sorted list is sorted here.
    if (SUCCEEDED(hr) && (GetWindowLongPtrW(hwnd, GWL_STYLE) & LVS_SORTASCENDING))
        SendMessageW(hwnd, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(CompareNames));

    if (SUCCEEDED(hr) && keyName) {
        const int count = static_cast<int>(SendMessageW(hwnd, LVM_GETITEMCOUNT, 0, 0));
        for (int index = 0; index < count; ++index) {
            auto* profile = reinterpret_cast<Profile*>(GetItemData(index));
            if (profile && SameKeyName(profile->keyName, keyName)) {
                select = index;
                break;
            }
        }
    }

    SendMessageW(hwnd, WM_SETREDRAW, TRUE, 0);
    SelectItem(select);
    return hr;
}

void ProfileList::ReadNumberLists() {
    blockedNumbersInUse = NumberListInUse(NumberListKind::Blocked);
    if (hwnd)
        InvalidateRect(hwnd, nullptr, FALSE);
}

HRESULT ProfileList::Reload() {
    WaitCursor wait;
    Clear();
    HRESULT hr = AddOffEntry();
    if (FAILED(hr))
        return hr;
    EnumerateProfiles(
        [](LPCWSTR keyName, void* context) {
            return static_cast<ProfileList*>(context)->LoadEntry(keyName);
        },
        this);
    return S_OK;
}

bool ProfileList::ActiveListed() const {
    if (!settings || !settings->activeProfile[0])
        return false;
    for (size_t i = 1; i < entries.size(); ++i) {
        if (SameKeyName(entries[i]->keyName, settings->activeProfile))
            return true;
    }
    return false;
}

void ProfileList::Clear() {
    entries.clear();
    offEntry = nullptr;
}

HRESULT ProfileList::AddOffEntry() {
    std::unique_ptr<Profile> entry(new (std::nothrow) Profile);
    if (!entry)
        return E_OUTOFMEMORY;
    HRESULT hr = entry->SetName(ResourceText(kOffEntryName).Get());
    if (FAILED(hr))
        return hr;
    entry->SetMode(ScreeningMode::Off);
    offEntry = entry.get();
    entries.push_back(std::move(entry));
    return S_OK;
}

HRESULT ProfileList::LoadEntry(LPCWSTR keyName) {
    if (!keyName)
        return E_INVALIDARG;
    std::unique_ptr<Profile> entry(new (std::nothrow) Profile);
    if (!entry)
        return E_OUTOFMEMORY;
    HRESULT hr = entry->Load(keyName);
    if (SUCCEEDED(hr))
        entries.push_back(std::move(entry));
    return hr;
}

HRESULT ProfileList::CreateSampleProfile(ScreeningMode mode, UINT nameId) {
    Profile sample;
    HRESULT hr = sample.SetName(ResourceText(nameId).Get());
    if (FAILED(hr))
        return hr;
    hr = sample.SetMode(mode);
    if (FAILED(hr))
        return hr;
    return sample.Save();
}

Profile* ProfileList::SelectedProfile() const {
    const int index = GetSelectedIndex();
    return index < 0 ? nullptr : reinterpret_cast<Profile*>(GetItemData(index));
}

bool ProfileList::IsOffSelected() const {
    return SelectedProfile() == offEntry;
}

bool ProfileList::IsActive(const Profile* profile) const {
    if (!profile)
        return false;
    if (ActiveListed())
        return profile != offEntry && SameKeyName(profile->keyName, settings->activeProfile);
    return profile == offEntry;
}

bool ProfileList::ActiveProfileLost() const {
    return settings &&
           (settings->activeProfileUnreadable || (settings->activeProfile[0] && !ActiveListed()));
}

HRESULT ProfileList::ItemActivated(int index) {
    auto* profile = reinterpret_cast<Profile*>(GetItemData(index));
    if (!profile)
        return E_INVALIDARG;
    return activation ? activation->ActivateProfile(profile, false) : E_UNEXPECTED;
}

HRESULT ProfileList::UntilText(const Profile& profile, const SYSTEMTIME& now, LPWSTR buffer,
                               UINT chars) const {
    if (!buffer || chars == 0)
        return E_INVALIDARG;
    buffer[0] = L'\0';
    if (!settings)
        return S_FALSE;
    const AppSettings& settings = *this->settings;
    ProfileInForce inForce;
    // The settings as they stand, not as at the last fill: the end belongs to the row the
    // timed values were stored for.
    const bool timedRow = settings.activeProfile[0]
                              ? SameKeyName(profile.keyName, settings.activeProfile)
                              : &profile == offEntry;
    if (!timedRow || !settings.IsTimed() ||
        FAILED(ResolveProfileInForce(settings.activeProfile, settings.activeUntil,
                                     settings.nextProfile, now, &inForce)) ||
        !inForce.timed)
        return S_FALSE;
    int days = 0;
    HRESULT hr = CalendarDaysBetween(now, inForce.until, &days);
    if (FAILED(hr))
        return hr;
    // A timed profile ends within a day, so its end is today or tomorrow.
    WCHAR clock[kClockChars];
    hr = StringCchPrintfW(clock, ARRAYSIZE(clock), L"%02u:%02u", inForce.until.wHour,
                          inForce.until.wMinute);
    if (FAILED(hr))
        return hr;
    return StringCchPrintfW(buffer, chars,
                            ResourceText(days == 1 ? kUntilTomorrow : kUntilToday).Get(), clock);
}

HRESULT ProfileList::DetailText(const Profile& profile, const SYSTEMTIME& now, LPWSTR buffer,
                                UINT chars) const {
    if (!buffer)
        return E_INVALIDARG;
    // Off still refuses the blocked numbers.
    ResourceText modeName(&profile == offEntry && blockedNumbersInUse ? IDS_OFF_BUT_BLOCKED
                                                                      : ModeNameId(profile.mode));
    WCHAR until[kDetailChars];
    HRESULT hr = UntilText(profile, now, until, ARRAYSIZE(until));
    if (FAILED(hr))
        return hr;
    if (hr == S_FALSE)
        return StringCchCopyW(buffer, chars, modeName.Get());
    return StringCchPrintfW(buffer, chars, ResourceText(kModeUntil).Get(), modeName.Get(), until);
}

bool ProfileList::DetailFits(const DRAWITEMSTRUCT* draw, LPCWSTR text) const {
    RECT label = {};
    label.left = LVIR_LABEL;
    if (!SendMessageW(hwnd, LVM_GETITEMRECT, draw->itemID, reinterpret_cast<LPARAM>(&label)))
        return true;
    const HGDIOBJ previous = SelectObject(draw->hDC, detailFont);
    SIZE size = {};
    const BOOL measured =
        GetTextExtentPoint32W(draw->hDC, text, static_cast<int>(wcslen(text)), &size);
    SelectObject(draw->hDC, previous);
    // The row draws its lines a margin in from either side of the label.
    return !measured || size.cx <= label.right - label.left - 2 * ScaleX(5);
}

HRESULT ProfileList::DrawItem(const DRAWITEMSTRUCT* draw) {
    if (!draw)
        return E_INVALIDARG;
    auto* profile = reinterpret_cast<Profile*>(GetItemData(static_cast<int>(draw->itemID)));
    if (!profile)
        return E_INVALIDARG;
    const bool active = IsActive(profile);
    const SYSTEMTIME now = LocalNow();
    WCHAR detail[kDetailChars];
    HRESULT hr = DetailText(*profile, now, detail, ARRAYSIZE(detail));
    if (FAILED(hr))
        return hr;
    // On a narrow row the end matters more than the mode, which the name tells anyway.
    if (!DetailFits(draw, detail)) {
        WCHAR until[kDetailChars];
        if (UntilText(*profile, now, until, ARRAYSIZE(until)) == S_OK)
            StringCchCopyW(detail, ARRAYSIZE(detail), until);
    }
    return DrawTwoLineItem(draw, profile->name ? profile->name : L"", detail,
                           active ? activeIcon : inactiveIcon, active);
}
