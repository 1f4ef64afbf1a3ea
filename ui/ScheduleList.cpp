#include "ui/ScheduleList.h"
#include "platform/Process.h"
#include "platform/Cursor.h"
#include "platform/Resources.h"
#include "screening/CallNotification.h"
#include "resources/ResourceIds.h"
#include "store/AppSettings.h"
#include "ui/ProfileList.h"
#include "ui/RuleEditor.h"
#include <algorithm>
#include <commctrl.h>
#include <new>
#include <strsafe.h>

namespace {

const int kPocketPC = 1;
const int kTextChars = 128;
const int kNewRuleStart = 22 * 60;
const int kNewRuleEnd = 7 * 60;
const UINT kRuleCommands[] = {IDM_EDIT_RULE, IDM_DELETE_RULE};

HINSTANCE ProgramInstance() {
    return AppInstance();
}

// The Action key on a row edits the rule: the rows claim it from the dialog manager,
// which would take it for the dialog's default button.
LRESULT CALLBACK RowKeys(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                         DWORD_PTR) {
    if (message == WM_GETDLGCODE) {
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
            return DLGC_WANTMESSAGE | DefSubclassProc(window, message, wParam, lParam);
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, RowKeys, id);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

bool NameBefore(const std::unique_ptr<Profile>& first, const std::unique_ptr<Profile>& second) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, first->name, -1, second->name,
                          -1) == CSTR_LESS_THAN;
}

} // namespace

HRESULT DescribeRule(const ScheduleRule& rule, LPCWSTR profileName, LPWSTR title, UINT titleChars,
                     LPWSTR detail, UINT detailChars) {
    if (!title || !detail)
        return E_INVALIDARG;
    UINT reason = 0;
    UINT titleId = IDS_RULE_DAMAGED;
    switch (rule.status) {
    case RuleStatus::Valid:
        titleId = 0;
        break;
    case RuleStatus::ProfileMissing:
        titleId = IDS_RULE_PROFILE_DELETED;
        break;
    case RuleStatus::Unreadable:
        reason = IDS_RULE_UNREADABLE;
        break;
    case RuleStatus::BadDays:
        reason = IDS_RULE_BAD_DAYS;
        break;
    case RuleStatus::BadTime:
        reason = IDS_RULE_BAD_TIME;
        break;
    }
    HRESULT hr = S_OK;
    if (titleId)
        hr = StringCchCopyW(title, titleChars, ResourceText(titleId).Get());
    else
        hr = StringCchCopyW(title, titleChars,
                            profileName && profileName[0]
                                ? profileName
                                : ResourceText(IDS_RULE_UNNAMED_PROFILE).Get());
    if (FAILED(hr))
        return hr;

    // A damaged rule's own fields mean nothing: the line says only why it is ignored.
    WCHAR line[kTextChars] = L"";
    if (reason) {
        hr = StringCchCopyW(line, ARRAYSIZE(line), ResourceText(reason).Get());
    } else {
        WCHAR days[64] = L"", start[8] = L"", end[8] = L"";
        hr = FormatRuleDays(rule.days, days, ARRAYSIZE(days));
        if (SUCCEEDED(hr))
            hr = FormatTimeOfDay(rule.start, start, ARRAYSIZE(start));
        if (SUCCEEDED(hr))
            hr = FormatTimeOfDay(rule.end, end, ARRAYSIZE(end));
        if (SUCCEEDED(hr))
            hr = StringCchPrintfW(line, ARRAYSIZE(line), ResourceText(IDS_RULE_TIMES).Get(), days,
                                  start, end);
    }
    if (FAILED(hr))
        return hr;
    if (rule.status == RuleStatus::Valid)
        return StringCchCopyW(detail, detailChars, line);
    return StringCchPrintfW(detail, detailChars, ResourceText(IDS_RULE_IGNORED).Get(), line);
}

// ---- The rows ----

RuleRows::~RuleRows() {
    if (icon)
        DestroyIcon(icon);
}

HRESULT RuleRows::LoadResources() {
    HRESULT hr = SetEmptyText(ResourceText(IDS_NO_RULES).Get());
    if (FAILED(hr))
        return hr;
    if (icon)
        DestroyIcon(icon);
    icon = LoadResourceIcon(IDI_PROFILE_INACTIVE, iconWidth, iconHeight);
    return icon ? S_OK : E_FAIL;
}

HRESULT RuleRows::ItemActivated(int index) {
    SelectItem(index);
    return owner.EditRule();
}

HRESULT RuleRows::DrawItem(const DRAWITEMSTRUCT* draw) {
    if (!draw)
        return E_INVALIDARG;
    const LPARAM slot = GetItemData(static_cast<int>(draw->itemID));
    if (slot < 0 || slot >= static_cast<LPARAM>(kScheduleRuleCount) || !owner.schedule.stored[slot])
        return E_INVALIDARG;
    const ScheduleRule& rule = owner.schedule.rules[slot];
    WCHAR title[kTextChars] = L"", detail[kTextChars] = L"";
    HRESULT hr = DescribeRule(rule, owner.ProfileName(rule.profile), title, ARRAYSIZE(title),
                              detail, ARRAYSIZE(detail));
    if (FAILED(hr))
        return hr;
    return DrawTwoLineItem(draw, title, detail, icon, false);
}

// ---- The screen ----

HRESULT ScheduleList::Run(HWND owner, const AppSettings& settings) {
    ScheduleList list(settings, owner);
    LPCDLGTEMPLATEW dialog = FindResourceDialog(IDD_SCHEDULE);
    if (!dialog)
        return E_FAIL;
    const INT_PTR ended = DialogBoxIndirectParamW(ProgramInstance(), dialog, owner, DialogProcedure,
                                                  reinterpret_cast<LPARAM>(&list));
    return ended == IDOK ? S_OK : E_FAIL;
}

ScheduleList::ScheduleList(const AppSettings& settings, HWND mainWindow)
    : rows(*this), settings(settings), mainWindow(mainWindow) {}

ScheduleList::~ScheduleList() = default;

LRESULT ScheduleList::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    bool& handled) {
    const bool notHandled =
        (WindowObject::HandleMessage(window, message, wParam, lParam, handled), handled);
    handled = true;
    if (HandleShellMessage(message, wParam, lParam))
        return 0;
    switch (message) {
    case WM_INITDIALOG:
        if (FAILED(Initialise()))
            EndDialog(hwnd, IDCANCEL);
        return 0;
    case WM_DESTROY:
        DestroySoftKeyBar();
        return 0;
    case WM_SIZE:
        if (rows.hwnd) {
            RECT client = {};
            GetClientRect(hwnd, &client);
            MoveWindow(rows.hwnd, 0, 0, client.right, client.bottom, TRUE);
        }
        return 0;
    case WM_DRAWITEM:
        if (wParam == IDC_RULE_LIST)
            rows.DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return 0;
    case WM_MEASUREITEM:
        if (wParam == IDC_RULE_LIST)
            rows.MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        return AnswerNotify(header && header->idFrom == IDC_RULE_LIST ? rows.OnNotify(header) : 0);
    }
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_INITMENUPOPUP:
        UpdateMenu(reinterpret_cast<HMENU>(wParam));
        return 0;
    default:
        handled = notHandled;
        return 0;
    }
}

HRESULT ScheduleList::Initialise() {
    HRESULT hr = InitialiseShell(IDR_SCHEDULE_MENU);
    if (SUCCEEDED(hr))
        hr = LoadProfiles();
    if (SUCCEEDED(hr))
        hr = schedule.Load();
    if (SUCCEEDED(hr))
        hr = rows.Create(hwnd, IDC_RULE_LIST, WS_TABSTOP);
    if (SUCCEEDED(hr))
        hr = SetWindowSubclass(rows.hwnd, RowKeys, 1, 0) ? S_OK : E_FAIL;
    if (SUCCEEDED(hr))
        hr = rows.LoadResources();
    // With no profile there is nothing a rule could switch on: say so where the rows go.
    if (SUCCEEDED(hr) && profiles.empty())
        hr = rows.SetEmptyText(ResourceText(IDS_RULE_NO_PROFILES).Get());
    if (SUCCEEDED(hr))
        hr = Fill(-1);
    if (FAILED(hr))
        return hr;
    if (settings.platformType == kPocketPC) {
        const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
        SetWindowLongPtrW(hwnd, GWL_STYLE,
                          (style & ~static_cast<LONG_PTR>(WS_SYSMENU | WS_THICKFRAME)) | WS_POPUP);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    SetFocus(rows.hwnd);
    return S_OK;
}

HRESULT ScheduleList::LoadProfiles() {
    WaitCursor wait;
    profiles.clear();
    HRESULT failure = S_OK;
    auto load = [&](LPCWSTR keyName) -> HRESULT {
        std::unique_ptr<Profile> profile(new (std::nothrow) Profile);
        if (!profile)
            return failure = E_OUTOFMEMORY;
        // A profile that cannot be loaded is no choice; a rule naming it still shows.
        if (SUCCEEDED(profile->Load(keyName)))
            profiles.push_back(std::move(profile));
        return S_OK;
    };
    HRESULT hr = EnumerateProfiles(load);
    if (FAILED(hr))
        return hr;
    if (FAILED(failure))
        return failure;
    std::stable_sort(profiles.begin(), profiles.end(), NameBefore);
    return S_OK;
}

LPCWSTR ScheduleList::ProfileName(LPCWSTR keyName) const {
    for (const auto& profile : profiles) {
        if (SameKeyName(profile->keyName, keyName))
            return profile->name;
    }
    return nullptr;
}

std::vector<const Profile*> ScheduleList::ProfileChoices() const {
    std::vector<const Profile*> choices;
    for (const auto& profile : profiles)
        choices.push_back(profile.get());
    return choices;
}

HRESULT ScheduleList::Fill(int selectSlot) {
    WaitCursor wait;
    SendMessageW(rows.hwnd, WM_SETREDRAW, FALSE, 0);
    HRESULT hr = SendMessageW(rows.hwnd, LVM_DELETEALLITEMS, 0, 0) ? S_OK : E_FAIL;
    // By start time, as the day runs; rules that are ignored go last.
    std::vector<UINT> order;
    for (UINT slot = 0; slot < kScheduleRuleCount; ++slot) {
        if (schedule.stored[slot])
            order.push_back(slot);
    }
    auto key = [this](UINT slot) {
        const ScheduleRule& rule = schedule.rules[slot];
        const bool readable =
            rule.status == RuleStatus::Valid || rule.status == RuleStatus::ProfileMissing;
        return (readable ? rule.start : kMinutesPerDay) * static_cast<int>(kScheduleRuleCount) +
               static_cast<int>(slot);
    };
    std::sort(order.begin(), order.end(), [&](UINT a, UINT b) { return key(a) < key(b); });
    int select = 0;
    for (size_t i = 0; i < order.size() && SUCCEEDED(hr); ++i) {
        // The row's text is its first line, for whatever reads rows by their text.
        const ScheduleRule& rule = schedule.rules[order[i]];
        WCHAR title[kTextChars] = L"", detail[kTextChars] = L"";
        DescribeRule(rule, ProfileName(rule.profile), title, ARRAYSIZE(title), detail,
                     ARRAYSIZE(detail));
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = title;
        item.lParam = static_cast<LPARAM>(order[i]);
        if (SendMessageW(rows.hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) == -1)
            hr = E_FAIL;
        if (static_cast<int>(order[i]) == selectSlot)
            select = static_cast<int>(i);
    }
    SendMessageW(rows.hwnd, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(rows.hwnd, nullptr, TRUE);
    rows.SelectItem(select);
    return hr;
}

int ScheduleList::SelectedSlot() const {
    const int index = rows.GetSelectedIndex();
    if (index < 0)
        return -1;
    const LPARAM slot = rows.GetItemData(index);
    return slot >= 0 && slot < static_cast<LPARAM>(kScheduleRuleCount) && schedule.stored[slot]
               ? static_cast<int>(slot)
               : -1;
}

HRESULT ScheduleList::NewRule() {
    if (profiles.empty())
        return E_FAIL;
    if (schedule.Count() >= kScheduleRuleCount)
        return kScheduleFull;
    ScheduleRule rule;
    HRESULT hr = StringCchCopyW(rule.profile, ARRAYSIZE(rule.profile), profiles[0]->keyName);
    if (FAILED(hr))
        return hr;
    rule.days = kScheduleAllDays;
    rule.start = kNewRuleStart;
    rule.end = kNewRuleEnd;
    hr = RuleEditor::Run(&rule, ProfileChoices(), hwnd, settings);
    if (FAILED(hr))
        return hr;
    UINT slot = 0;
    hr = schedule.Add(rule, &slot);
    if (FAILED(hr))
        return hr;
    hr = Fill(static_cast<int>(slot));
    return SUCCEEDED(hr) ? KeepCallNotificationInLine() : hr;
}

HRESULT ScheduleList::EditRule() {
    const int slot = SelectedSlot();
    if (slot < 0)
        return E_INVALIDARG;
    return EditSlot(static_cast<UINT>(slot));
}

HRESULT ScheduleList::EditSlot(UINT slot) {
    ScheduleRule rule = schedule.rules[slot];
    const ScheduleRule before = rule;
    HRESULT hr = RuleEditor::Run(&rule, ProfileChoices(), hwnd, settings);
    if (FAILED(hr))
        return hr;
    // Done with nothing changed writes nothing.
    const bool unchanged = before.status == rule.status && rule.status == RuleStatus::Valid &&
                           SameKeyName(before.profile, rule.profile) && before.days == rule.days &&
                           before.start == rule.start && before.end == rule.end;
    if (unchanged)
        return S_FALSE;
    hr = schedule.Edit(slot, rule);
    if (FAILED(hr))
        return hr;
    hr = Fill(static_cast<int>(slot));
    return SUCCEEDED(hr) ? KeepCallNotificationInLine() : hr;
}

HRESULT ScheduleList::KeepCallNotificationInLine() {
    // While a rule takes part every call comes to the window, so that the clock is
    // looked at; once none does, the active profile has its own request again.
    return RenewCallNotification(settings.activeProfile, settings.IsTimed(), mainWindow);
}

HRESULT ScheduleList::DeleteRule() {
    const int slot = SelectedSlot();
    if (slot < 0)
        return E_INVALIDARG;
    const int index = rows.GetSelectedIndex();
    HRESULT hr = schedule.Delete(static_cast<UINT>(slot));
    if (FAILED(hr))
        return hr;
    hr = Fill(-1);
    // The row that took the deleted one's place, or the new last row.
    const int count = static_cast<int>(SendMessageW(rows.hwnd, LVM_GETITEMCOUNT, 0, 0));
    if (count > 0)
        rows.SelectItem(index < count ? index : count - 1);
    return SUCCEEDED(hr) ? KeepCallNotificationInLine() : hr;
}

void ScheduleList::UpdateMenu(HMENU menu) {
    const bool canAdd = !profiles.empty() && schedule.Count() < kScheduleRuleCount;
    EnableMenuItem(menu, IDM_NEW_RULE, MF_BYCOMMAND | (canAdd ? MF_ENABLED : MF_GRAYED));
    const bool selected = SelectedSlot() >= 0;
    for (UINT command : kRuleCommands)
        EnableMenuItem(menu, command, MF_BYCOMMAND | (selected ? MF_ENABLED : MF_GRAYED));
}

void ScheduleList::OnCommand(WORD id) {
    switch (id) {
    case IDM_DONE:
    case IDM_CANCEL: // the Back key
        EndDialog(hwnd, IDOK);
        return;
    case IDM_NEW_RULE:
        NewRule();
        break;
    case IDM_EDIT_RULE:
        EditRule();
        break;
    case IDM_DELETE_RULE:
        DeleteRule();
        break;
    default:
        return;
    }
    SetFocus(rows.hwnd);
}
