#include "ui/RuleEditor.h"
#include "platform/LocalClock.h"
#include "platform/Process.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "store/AppSettings.h"
#include "store/Profile.h"
#include "ui/OwnerDrawList.h"
#include "ui/ProfileList.h"
#include <commctrl.h>
#include <strsafe.h>

namespace {

const int kPocketPC = 1;
const UINT_PTR kFieldSubclass = 1;
const WCHAR kPickerFormat[] = L"HH':'mm";
const int kPresetCount = 4; // Every day, Weekdays, Weekends, Chosen days
const DWORD kPresetDays[] = {kScheduleAllDays, kScheduleWeekdays, kScheduleWeekends};
const int kChosenDays = 3;
// The list and the row texts start the week on Monday.
const int kWeekOrder[] = {1, 2, 3, 4, 5, 6, 0};
const int kBoldControls[] = {IDC_RULE_PROFILE_HEADING, IDC_RULE_TIME_HEADING,
                             IDC_RULE_DAYS_HEADING};

HINSTANCE ProgramInstance() {
    return AppInstance();
}

int Height(HWND window) {
    RECT bounds = {};
    return GetWindowRect(window, &bounds) ? bounds.bottom - bounds.top : 0;
}

// The width of the control's text in its own font.
int TextWidth(HWND control) {
    WCHAR text[64] = L"";
    const int length = GetWindowTextW(control, text, ARRAYSIZE(text));
    HDC dc = GetDC(control);
    if (!dc)
        return 0;
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, length, &size);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return size.cx;
}

// The height of one line of the control's text.
int LineHeight(HWND control) {
    HDC dc = GetDC(control);
    if (!dc)
        return 0;
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return metrics.tmHeight;
}

} // namespace

int DayPresetOf(DWORD days) {
    for (int preset = 0; preset < kChosenDays; ++preset) {
        if (days == kPresetDays[preset])
            return preset;
    }
    return kChosenDays;
}

HRESULT FormatRuleDays(DWORD days, LPWSTR buffer, UINT chars) {
    if (!buffer || chars == 0)
        return E_INVALIDARG;
    buffer[0] = L'\0';
    days &= kScheduleAllDays;
    if (days == kScheduleAllDays)
        return StringCchCopyW(buffer, chars, ResourceText(IDS_EVERY_DAY).Get());
    if (days == 0)
        return StringCchCopyW(buffer, chars, ResourceText(IDS_RULE_NO_DAYS).Get());
    HRESULT hr = S_OK;
    for (int i = 0; i < 7 && SUCCEEDED(hr);) {
        if (!(days & (1u << kWeekOrder[i]))) {
            ++i;
            continue;
        }
        int last = i;
        while (last + 1 < 7 && (days & (1u << kWeekOrder[last + 1])))
            ++last;
        if (buffer[0])
            hr = StringCchCatW(buffer, chars, L", ");
        ResourceText first(IDS_SUNDAY_SHORT + kWeekOrder[i]);
        if (SUCCEEDED(hr))
            hr = StringCchCatW(buffer, chars, first.Get());
        if (SUCCEEDED(hr) && last > i) {
            // Three days or more read as a range; two as a pair.
            ResourceText final(IDS_SUNDAY_SHORT + kWeekOrder[last]);
            hr = StringCchCatW(buffer, chars, last - i >= 2 ? L"\x2013" : L", ");
            if (SUCCEEDED(hr))
                hr = StringCchCatW(buffer, chars, final.Get());
        }
        i = last + 1;
    }
    return hr;
}

HRESULT RuleEditor::Run(ScheduleRule* rule, const std::vector<const Profile*>& profiles, HWND owner,
                        const AppSettings& settings) {
    if (!rule)
        return E_INVALIDARG;
    // The time pickers' class.
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_DATE_CLASSES | ICC_UPDOWN_CLASS | ICC_LISTVIEW_CLASSES;
    if (!InitCommonControlsEx(&controls))
        return E_FAIL;
    const ScheduleRule before = *rule;
    RuleEditor editor(rule, profiles, settings);
    LPCDLGTEMPLATEW dialog = FindResourceDialog(IDD_RULE_EDITOR);
    INT_PTR ended = -1;
    if (dialog)
        ended = DialogBoxIndirectParamW(ProgramInstance(), dialog, owner, DialogProcedure,
                                        reinterpret_cast<LPARAM>(&editor));
    if (ended == IDOK)
        return S_OK;
    *rule = before;
    return E_FAIL;
}

RuleEditor::RuleEditor(ScheduleRule* rule, const std::vector<const Profile*>& profiles,
                       const AppSettings& settings)
    : rule(rule), profiles(profiles), settings(settings) {}

RuleEditor::~RuleEditor() = default;

bool RuleEditor::IsPocketPC() const {
    return settings.platformType == kPocketPC;
}

LRESULT RuleEditor::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
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
        OnDestroy();
        return 0;
    case WM_SIZE:
        if (dayList)
            Layout();
        return 0;
    case WM_NOTIFY: {
        return AnswerNotify(OnNotify(reinterpret_cast<const NMHDR*>(lParam)));
    }
    case WM_COMMAND:
        if (!OnCommand(LOWORD(wParam), HIWORD(wParam)))
            handled = notHandled;
        return 0;
    default:
        handled = notHandled;
        return 0;
    }
}

HRESULT RuleEditor::Initialise() {
    if (!rule)
        return E_INVALIDARG;

    HRESULT hr = InitialiseShell(IDR_RULE_EDITOR_MENU);
    if (FAILED(hr))
        return hr;
    SHEnableSoftkey(menuBar, IDM_DONE, FALSE, FALSE);
    if (settings.boldFont) {
        for (int id : kBoldControls)
            SendDlgItemMessageW(hwnd, id, WM_SETFONT, reinterpret_cast<WPARAM>(settings.boldFont),
                                FALSE);
    }
    startPicker = GetDlgItem(hwnd, IDC_RULE_START);
    endPicker = GetDlgItem(hwnd, IDC_RULE_END);
    dayList = GetDlgItem(hwnd, IDC_RULE_DAY_LIST);
    if (!startPicker || !endPicker || !dayList)
        return E_FAIL;

    // The profile first, then the time, then the days: the tab order is the z-order.
    hr = profileField.Create(hwnd, IDC_RULE_PROFILE, IDC_RULE_PROFILE_ARROWS, IsPocketPC(),
                             GetDlgItem(hwnd, IDC_RULE_PROFILE_HEADING));
    if (FAILED(hr))
        return hr;
    int selected = -1;
    for (size_t i = 0; i < profiles.size() && SUCCEEDED(hr); ++i) {
        const Profile* profile = profiles[i];
        hr = profileField.Add(profile->name ? profile->name : L"");
        if (selected < 0 && SameKeyName(profile->keyName, rule->profile))
            selected = static_cast<int>(i);
    }
    if (FAILED(hr))
        return hr;
    profileField.Select(selected);

    hr = daysField.Create(hwnd, IDC_RULE_DAYS, IDC_RULE_DAYS_ARROWS, IsPocketPC(),
                          GetDlgItem(hwnd, IDC_RULE_DAYS_HEADING));
    for (int preset = 0; preset < kPresetCount && SUCCEEDED(hr); ++preset)
        hr = daysField.Add(ResourceText(IDS_EVERY_DAY + preset).Get());
    if (FAILED(hr))
        return hr;

    hr = InitialisePicker(startPicker, rule->start);
    if (SUCCEEDED(hr))
        hr = InitialisePicker(endPicker, rule->end);
    if (SUCCEEDED(hr))
        hr = FillDayList();
    if (FAILED(hr))
        return hr;
    SetCheckedDays(rule->days);
    ShowPreset();
    Layout();
    UpdateDoneKey();

    if (IsPocketPC()) {
        // As the profile editor: a plain pop-up that keeps its caption, which names the
        // screen, with nothing of the desktop's frame.
        const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
        SetWindowLongPtrW(hwnd, GWL_STYLE,
                          (style & ~static_cast<LONG_PTR>(WS_SYSMENU | WS_THICKFRAME)) | WS_POPUP);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    return S_OK;
}

HRESULT RuleEditor::InitialisePicker(HWND picker, int minuteOfDay) {
    // Twenty-four hours, as the rows and the stored rules show times.
    SendMessageW(picker, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(kPickerFormat));
    SYSTEMTIME time = LocalNow();
    time.wHour =
        static_cast<WORD>(minuteOfDay >= 0 && minuteOfDay < kMinutesPerDay ? minuteOfDay / 60 : 0);
    time.wMinute = static_cast<WORD>(minuteOfDay >= 0 ? minuteOfDay % 60 : 0);
    time.wSecond = 0;
    time.wMilliseconds = 0;
    if (!SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time)))
        return E_FAIL;
    return SetWindowSubclass(picker, FieldProcedure, kFieldSubclass,
                             reinterpret_cast<DWORD_PTR>(this))
               ? S_OK
               : E_FAIL;
}

HRESULT RuleEditor::FillDayList() {
    ListView_SetExtendedListViewStyleEx(dayList, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                                        LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    if (SendMessageW(dayList, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column)) == -1)
        return E_FAIL;
    settingChecks = true;
    for (int i = 0; i < 7; ++i) {
        ResourceText name(IDS_SUNDAY + kWeekOrder[i]);
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = i;
        item.pszText = const_cast<LPWSTR>(name.Get());
        item.lParam = kWeekOrder[i];
        if (SendMessageW(dayList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) == -1) {
            settingChecks = false;
            return E_FAIL;
        }
    }
    settingChecks = false;
    ListView_SetItemState(dayList, 0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    return SetWindowSubclass(dayList, FieldProcedure, kFieldSubclass,
                             reinterpret_cast<DWORD_PTR>(this))
               ? S_OK
               : E_FAIL;
}

DWORD RuleEditor::CheckedDays() const {
    DWORD days = 0;
    for (int i = 0; i < 7; ++i) {
        if (ListView_GetCheckState(dayList, i))
            days |= 1u << kWeekOrder[i];
    }
    return days;
}

void RuleEditor::SetCheckedDays(DWORD days) {
    settingChecks = true;
    for (int i = 0; i < 7; ++i)
        ListView_SetCheckState(dayList, i, (days & (1u << kWeekOrder[i])) != 0);
    settingChecks = false;
}

void RuleEditor::ShowPreset() {
    daysField.Select(DayPresetOf(CheckedDays()));
}

void RuleEditor::ApplyPreset() {
    const int preset = daysField.Selected();
    // Chosen days leaves the ticks as they are, for the user to change.
    if (preset >= 0 && preset < kChosenDays)
        SetCheckedDays(kPresetDays[preset]);
    UpdateDoneKey();
}

void RuleEditor::ToggleSelectedDay() {
    const int index = ListView_GetNextItem(dayList, -1, LVNI_SELECTED);
    if (index >= 0)
        ListView_SetCheckState(dayList, index, !ListView_GetCheckState(dayList, index));
}

void RuleEditor::Layout() {
    RECT client = {};
    GetClientRect(hwnd, &client);
    const int margin = ScaleX(7);
    const int gap = ScaleY(5);
    const int width = client.right - client.left - 2 * margin;
    HWND profileHeading = GetDlgItem(hwnd, IDC_RULE_PROFILE_HEADING);
    HWND timeHeading = GetDlgItem(hwnd, IDC_RULE_TIME_HEADING);
    HWND daysHeading = GetDlgItem(hwnd, IDC_RULE_DAYS_HEADING);
    HWND dash = GetDlgItem(hwnd, IDC_RULE_TIME_DASH);
    const int headingHeight = LineHeight(profileHeading) + ScaleY(2);
    int y = ScaleY(3);

    MoveWindow(profileHeading, margin, y, width, headingHeight, TRUE);
    y += headingHeight;
    profileField.Place(margin, y, width);
    y += profileField.Height() + gap;

    MoveWindow(timeHeading, margin, y, width, headingHeight, TRUE);
    y += headingHeight;
    const int pickerHeight = Height(startPicker);
    const int dashWidth = ScaleX(16);
    int pickerWidth = (width - dashWidth) / 2;
    if (pickerWidth > ScaleX(90))
        pickerWidth = ScaleX(90);
    MoveWindow(startPicker, margin, y, pickerWidth, pickerHeight, TRUE);
    MoveWindow(dash, margin + pickerWidth, y, dashWidth, pickerHeight, TRUE);
    MoveWindow(endPicker, margin + pickerWidth + dashWidth, y, pickerWidth, pickerHeight, TRUE);
    y += pickerHeight + gap;

    // The days' heading and their preset share a line; the list takes what is left.
    const int headingWidth = TextWidth(daysHeading) + ScaleX(6);
    const int presetHeight = daysField.Height();
    const int headingTop = y + (presetHeight - headingHeight) / 2;
    MoveWindow(daysHeading, margin, headingTop, headingWidth, headingHeight, TRUE);
    daysField.Place(margin + headingWidth, y, width - headingWidth);
    y += presetHeight + ScaleY(2);
    int listHeight = client.bottom - y - margin;
    if (listHeight < ScaleY(20))
        listHeight = ScaleY(20);
    MoveWindow(dayList, margin, y, width, listHeight, TRUE);
    RECT listClient = {};
    GetClientRect(dayList, &listClient);
    SendMessageW(dayList, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(listClient.right, 0));
}

bool RuleEditor::UpdateDoneKey() {
    const int profile = profileField.Selected();
    const bool valid =
        profile >= 0 && profile < static_cast<int>(profiles.size()) && CheckedDays() != 0;
    SHEnableSoftkey(menuBar, IDM_DONE, FALSE, valid);
    return valid;
}

HRESULT RuleEditor::Commit() {
    if (!UpdateDoneKey())
        return E_FAIL;
    SYSTEMTIME start = {}, end = {};
    if (SendMessageW(startPicker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&start)) !=
            GDT_VALID ||
        SendMessageW(endPicker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&end)) != GDT_VALID)
        return E_FAIL;
    const Profile* profile = profiles[profileField.Selected()];
    HRESULT hr = StringCchCopyW(rule->profile, ARRAYSIZE(rule->profile), profile->keyName);
    if (FAILED(hr))
        return hr;
    rule->days = CheckedDays();
    rule->start = start.wHour * 60 + start.wMinute;
    rule->end = end.wHour * 60 + end.wMinute;
    return S_OK;
}

bool RuleEditor::OnCommand(WORD id, WORD notification) {
    switch (id) {
    case IDM_DONE:
        if (SUCCEEDED(Commit()))
            EndDialog(hwnd, IDOK);
        return true;
    case IDM_CANCEL:
        EndDialog(hwnd, IDCANCEL);
        return true;
    case IDC_RULE_PROFILE:
        if (notification == CBN_SELCHANGE) // LBN_SELCHANGE has the same number
            UpdateDoneKey();
        return true;
    case IDC_RULE_DAYS:
        if (notification == CBN_SELCHANGE)
            ApplyPreset();
        return true;
    default:
        return false;
    }
}

LRESULT RuleEditor::OnNotify(const NMHDR* header) {
    if (!header)
        return 0;
    if (profileField.OnNotify(header) || daysField.OnNotify(header))
        return TRUE; // the arrows keep their own position
    if (header->idFrom == IDC_RULE_DAY_LIST && header->code == LVN_ITEMCHANGED && !settingChecks) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
        if (change->uChanged & LVIF_STATE &&
            (change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) {
            ShowPreset();
            UpdateDoneKey();
        }
    }
    return 0;
}

// The phone's keys in the time pickers and the day list: Up and Down go to the field
// above or below (in the list, only past its first or last day); the Action key ticks
// the selected day, as Space does.
LRESULT CALLBACK RuleEditor::FieldProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR id, DWORD_PTR editor) {
    auto* self = reinterpret_cast<RuleEditor*>(editor);
    const bool isList = window == self->dayList;
    switch (message) {
    case WM_GETDLGCODE: {
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        // The Action key belongs to the list, not to the dialog's default button.
        if (isList && msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
            return DLGC_WANTMESSAGE | DefSubclassProc(window, message, wParam, lParam);
        break;
    }
    case WM_KEYDOWN:
        if (isList) {
            if (wParam == VK_RETURN) {
                self->ToggleSelectedDay();
                return 0;
            }
            const int selected = ListView_GetNextItem(window, -1, LVNI_SELECTED);
            const int last = ListView_GetItemCount(window) - 1;
            if ((wParam == VK_UP && selected <= 0) || (wParam == VK_DOWN && selected >= last)) {
                MoveBetweenFields(window, wParam);
                return 0;
            }
            break;
        }
        if (MoveBetweenFields(window, wParam))
            return 0;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, FieldProcedure, id);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void RuleEditor::OnDestroy() {
    profileField.Destroy();
    daysField.Destroy();
    DestroySoftKeyBar();
}
