#include "ui/HistoryList.h"
#include "platform/LocalClock.h"
#include "platform/Cursor.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "screening/CallLogLookup.h"
#include "store/NumberList.h"
#include <strsafe.h>

namespace {

const UINT kTitleChars = 160;
const UINT kDetailChars = 400;
const UINT kStampChars = 64;
const WCHAR kSeparator[] = L" \x00B7 ";
// Narrower lists (the Smartphone's 176 logical pixels) keep the whole line for the
// caller and put the time first on the line below.
const int kTimeBesideCallerWidth = 220;

bool SameDay(const SYSTEMTIME& first, const SYSTEMTIME& second) {
    return first.wYear == second.wYear && first.wMonth == second.wMonth &&
           first.wDay == second.wDay;
}

// Today's calls by their time alone, older ones with the date too, as the user's
// locale writes them.
HRESULT FormatStamp(const SYSTEMTIME& when, const SYSTEMTIME& today, LPWSTR buffer, UINT chars) {
    WCHAR time[kStampChars] = L"";
    if (!GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &when, nullptr, time, ARRAYSIZE(time)))
        return HRESULT_FROM_WIN32(GetLastError());
    if (SameDay(when, today))
        return StringCchCopyW(buffer, chars, time);
    WCHAR date[kStampChars] = L"";
    if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &when, nullptr, date, ARRAYSIZE(date)))
        return HRESULT_FROM_WIN32(GetLastError());
    return StringCchPrintfW(buffer, chars, L"%s %s", date, time);
}

} // namespace

HistoryList::~HistoryList() {
    DestroyIcons();
}

void HistoryList::DestroyIcons() {
    if (refusedIcon)
        DestroyIcon(refusedIcon);
    if (allowedIcon)
        DestroyIcon(allowedIcon);
    refusedIcon = nullptr;
    allowedIcon = nullptr;
}

HRESULT HistoryList::LoadResources() {
    HRESULT hr = SetEmptyText(ResourceText(IDS_NO_CALLS).Get());
    if (FAILED(hr))
        return hr;
    DestroyIcons();
    refusedIcon = LoadResourceIcon(IDI_CALL_REFUSED, iconWidth, iconHeight);
    allowedIcon = LoadResourceIcon(IDI_CALL_ALLOWED, iconWidth, iconHeight);
    return refusedIcon && allowedIcon ? S_OK : E_FAIL;
}

HRESULT HistoryList::Fill() {
    WaitCursor wait;
    SendMessageW(hwnd, WM_SETREDRAW, FALSE, 0);
    HRESULT hr = SendMessageW(hwnd, LVM_DELETEALLITEMS, 0, 0) ? S_OK : E_FAIL;
    if (SUCCEEDED(hr))
        hr = CallHistory::Read(&records, &unreadShown);
    for (size_t i = 0; SUCCEEDED(hr) && i < records.size(); ++i) {
        WCHAR title[kTitleChars];
        hr = FormatTitle(*records[i], title, ARRAYSIZE(title));
        if (FAILED(hr))
            break;
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = title;
        item.lParam = reinterpret_cast<LPARAM>(records[i].get());
        if (SendMessageW(hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) == -1)
            hr = E_FAIL;
    }
    SendMessageW(hwnd, WM_SETREDRAW, TRUE, 0);
    if (SendMessageW(hwnd, LVM_GETITEMCOUNT, 0, 0) > 0)
        SelectItem(0);
    InvalidateRect(hwnd, nullptr, TRUE);
    return hr;
}

HRESULT HistoryList::ItemActivated(int index) {
    (void)index;
    return S_OK;
}

HRESULT HistoryList::FormatTitle(const CallRecord& record, LPWSTR buffer, UINT chars) {
    LPCWSTR text = record.name[0] ? record.name : record.number;
    ResourceText withheld(IDS_WITHHELD);
    HRESULT hr = StringCchCopyW(buffer, chars, text[0] ? text : withheld.Get());
    // A long name is cut here and drawn with an ellipsis.
    return hr == STRSAFE_E_INSUFFICIENT_BUFFER ? S_OK : hr;
}

HRESULT HistoryList::FormatWhen(const CallRecord& record, const SYSTEMTIME& today, LPWSTR buffer,
                                UINT chars) {
    return FormatStamp(record.when, today, buffer, chars);
}

HRESULT HistoryList::FormatDetail(const CallRecord& record, LPWSTR buffer, UINT chars) {
    // What decided comes before the profile: on a narrow screen the end is cut first.
    ResourceText reason(IDS_FIRST_REASON + static_cast<UINT>(record.reason));
    // A repeated call tells its window, which is the profile's.
    WCHAR repeated[kDetailChars];
    LPCWSTR why = reason.Get();
    if (record.reason == CallReason::Repeated &&
        SUCCEEDED(StringCchPrintfW(repeated, ARRAYSIZE(repeated), why,
                                   static_cast<UINT>(record.repeatMinutes))))
        why = repeated;
    // A list's entry tells which entry, and its label.
    WCHAR entry[kDetailChars];
    if (IsNumberListReason(record.reason) &&
        SUCCEEDED(FormatNumberEntry(record.entry, nullptr, entry, ARRAYSIZE(entry))) &&
        SUCCEEDED(StringCchPrintfW(repeated, ARRAYSIZE(repeated), reason.Get(), entry)))
        why = repeated;
    // The call log's reasons tell the logged call: how long ago, or the pause's hours.
    if (IsCallLogReason(record.reason) && record.hasLoggedCall &&
        SUCCEEDED(FormatLoggedCallReason(record.reason, record.loggedCall, record.when, false,
                                         repeated, ARRAYSIZE(repeated))))
        why = repeated;
    HRESULT hr = StringCchCopyW(buffer, chars, why);
    if (SUCCEEDED(hr) && record.profileName[0]) {
        hr = StringCchCatW(buffer, chars, kSeparator);
        if (SUCCEEDED(hr))
            hr = StringCchCatW(buffer, chars, record.profileName);
    }
    // A cut detail line still reads; the row shows it with an ellipsis anyway.
    return hr == STRSAFE_E_INSUFFICIENT_BUFFER ? S_OK : hr;
}

HRESULT HistoryList::DrawItem(const DRAWITEMSTRUCT* draw) {
    if (!draw)
        return E_INVALIDARG;
    auto* record = reinterpret_cast<CallRecord*>(GetItemData(static_cast<int>(draw->itemID)));
    if (!record)
        return E_INVALIDARG;
    const SYSTEMTIME today = LocalNow();
    WCHAR title[kTitleChars];
    WCHAR when[kStampChars * 2];
    WCHAR detail[kDetailChars];
    HRESULT hr = FormatTitle(*record, title, ARRAYSIZE(title));
    if (SUCCEEDED(hr))
        hr = FormatWhen(*record, today, when, ARRAYSIZE(when));
    if (SUCCEEDED(hr))
        hr = FormatDetail(*record, detail, ARRAYSIZE(detail));
    if (FAILED(hr))
        return hr;
    const HICON icon = record->refused ? refusedIcon : allowedIcon;
    // The control's own width, not its client's: a scroll bar coming must not change
    // how the rows are laid out.
    RECT frame = {};
    GetWindowRect(hwnd, &frame);
    if (frame.right - frame.left >= ScaleX(kTimeBesideCallerWidth))
        return DrawTwoLineItem(draw, title, detail, icon, false, when);
    WCHAR line[ARRAYSIZE(when) + ARRAYSIZE(detail)];
    hr = StringCchPrintfW(line, ARRAYSIZE(line), L"%s%s%s", when, kSeparator, detail);
    // A cut line still reads; the row shows it with an ellipsis anyway.
    if (FAILED(hr) && hr != STRSAFE_E_INSUFFICIENT_BUFFER)
        return hr;
    return DrawTwoLineItem(draw, title, line, icon, false);
}
