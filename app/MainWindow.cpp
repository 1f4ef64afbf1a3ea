#include "app/MainWindow.h"
#include "app/BackupCommands.h"
#include "app/Mail.h"
#include "platform/LocalClock.h"
#include "platform/Process.h"
#include "platform/Resources.h"
#include "platform/SoftKeyBar.h"
#include "screening/CallNotification.h"
#include "screening/KeepInLine.h"
#include "screening/ScreenIncomingCall.h"
#include "store/AppKeys.h"
#include "ui/HistoryWindow.h"
#include "ui/NumberListScreen.h"
#include "ui/ProfileEditor.h"
#include "ui/ScheduleList.h"
#include <aygshell.h>
#include <strsafe.h>
#include <string.h>

const WCHAR kMainWindowClass[] = L"VesperaClass";
const WCHAR kMainWindowTitle[] = L"Vespera";

namespace {

const WCHAR kMessageCaption[] = L"Vespera";
const UINT kMenuBar = 401;
const UINT kActivateQuestion = 180;
const UINT kActivatedNotice = 192;
const UINT kSupportMailSubject = 220;
const UINT kRecommendationSubject = 221;
const UINT kRecommendationBody = 222;
const UINT kUnreadCountId = 676;
const UINT kPauseNoteId = 696;
// Past the minute's turn, so that "now" is in the new minute when the timer comes.
const UINT kPastTheMinuteMs = 200;

} // namespace

MainWindow& TheMainWindow() {
    static MainWindow mainWindow;
    return mainWindow;
}

MainWindow::MainWindow() {
    profileList.Bind(&settings, this);
}

MainWindow::~MainWindow() = default;

LRESULT CALLBACK MainWindow::ClassProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    WindowObject* object = nullptr;
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        object = static_cast<WindowObject*>(create->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        if (object)
            object->hwnd = window;
    } else {
        object = reinterpret_cast<WindowObject*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    // Desktop Windows sends WM_NCCREATE and a few more before WM_CREATE binds the object;
    // the default processing of WM_NCCREATE is what stores the window title.
    if (!object)
        return DefWindowProcW(window, message, wParam, lParam);
    bool handled = false;
    LRESULT result = object->HandleMessage(window, message, wParam, lParam, handled);
    if (message == WM_NCDESTROY) {
        // The window is gone: the object must no longer be reachable through it.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        object->hwnd = nullptr;
    }
    return handled ? result : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT MainWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  bool& handled) {
    const bool notHandled =
        (WindowObject::HandleMessage(window, message, wParam, lParam, handled), handled);
    handled = true;
    switch (message) {
    case WM_CREATE:
        if (FAILED(OnCreate()))
            PostQuitMessage(0);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_SIZE:
        OnSize();
        return 0;
    case WM_SETFOCUS:
        SetFocus(ListControl());
        return 0;
    case WM_DRAWITEM:
        if (wParam == kProfileListId)
            profileList.DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return 0;
    case WM_MEASUREITEM:
        if (wParam == kProfileListId)
            profileList.MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->idFrom == kProfileListId)
            return profileList.OnNotify(header);
        return 0;
    }
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_INITMENUPOPUP:
        OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == unreadCount.hwnd)
            return reinterpret_cast<LRESULT>(
                unreadCount.OnControlColour(reinterpret_cast<HDC>(wParam)));
        if (reinterpret_cast<HWND>(lParam) == pauseNote.hwnd)
            return reinterpret_cast<LRESULT>(
                pauseNote.OnControlColour(reinterpret_cast<HDC>(wParam)));
        handled = notHandled;
        return 0;
    case WM_TIMER:
        if (wParam == kKeepInStepTimer)
            KeepInStep();
        else
            handled = notHandled;
        return 0;
    case WM_INCOMINGCALL:
        ScreenIncomingCall(settings, hwnd);
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return 0;
    default:
        handled = notHandled;
        return 0;
    }
}

HWND MainWindow::ListControl() const {
    return hwnd ? GetDlgItem(hwnd, kProfileListId) : nullptr;
}

HRESULT MainWindow::OnCreate() {
    if (!hwnd)
        return E_FAIL;
    // A process started for a call stays hidden and builds nothing.
    if (LaunchedByNotification)
        return S_OK;
    SHINITDLGINFO init = {};
    init.dwMask = SHIDIM_FLAGS;
    init.hDlg = hwnd;
    init.dwFlags = SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN;
    if (!SHInitDialog(&init))
        return E_FAIL;
    HRESULT hr = CreateSoftKeyBar(hwnd, kMenuBar, &menuBar);
    if (FAILED(hr))
        return hr;
    hr = profileList.Create(hwnd, kProfileListId, LVS_SORTASCENDING);
    if (FAILED(hr))
        return hr;
    hr = profileList.LoadResources();
    if (FAILED(hr))
        return hr;
    // A timed profile that ended while Vespera was closed gives way to the next one
    // before the list shows which profile is active; a failed hand-back is tried again.
    WCHAR inForce[kKeyNameChars];
    BringInLine(settings, LocalNow(), hwnd, inForce);
    hr = unreadCount.Create(hwnd, kUnreadCountId, profileList.titleFont);
    if (FAILED(hr))
        return hr;
    unreadCount.Refresh();
    hr = pauseNote.Create(hwnd, kPauseNoteId, profileList.titleFont);
    if (FAILED(hr))
        return hr;
    pauseNote.Refresh(LocalNow());
    OnSize();
    hr = profileList.Fill(nullptr);
    ScheduleKeepInStep();
    return hr;
}

void MainWindow::ScheduleKeepInStep() {
    // Every stored time (a timed profile's end, a rule's hours) is a whole minute.
    const SYSTEMTIME now = LocalNow();
    const UINT untilNextMinute = (60 - now.wSecond) * 1000 - now.wMilliseconds;
    SetTimer(hwnd, kKeepInStepTimer, untilNextMinute + kPastTheMinuteMs, nullptr);
}

// Time moves on while the window stays open: a timed profile ends, a rule of the
// schedule begins, a process started for a call refuses one. The rows draw the active
// mark and the ends from the settings and the clock, so a repaint shows the change.
// Nothing is done while a dialog of the window is open (the editor works on a profile
// of the list, a box may be asking about the active one); the next minute catches up.
void MainWindow::KeepInStep() {
    ScheduleKeepInStep();
    if (!IsWindowEnabled(hwnd))
        return;
    WCHAR inForce[kKeyNameChars];
    BringInLine(settings, LocalNow(), hwnd, inForce);
    // The rows ask the settings which one is active, so a repaint marks the one in force.
    InvalidateRect(ListControl(), nullptr, FALSE);
    const DWORD countBefore = unreadCount.count;
    const bool shownBefore = unreadCount.Visible();
    unreadCount.Refresh();
    const CallLogFacts pauseBefore = pauseNote.pause;
    pauseNote.Refresh(LocalNow());
    const bool pauseChanged =
        pauseBefore.paused != pauseNote.pause.paused ||
        memcmp(&pauseBefore.pausedUntil, &pauseNote.pause.pausedUntil, sizeof(SYSTEMTIME)) != 0;
    if (unreadCount.count != countBefore || unreadCount.Visible() != shownBefore || pauseChanged)
        OnSize();
}

void MainWindow::OnDestroy() {
    KillTimer(hwnd, kKeepInStepTimer);
    settings.Save();
    if (menuBar) {
        DestroyWindow(menuBar);
        menuBar = nullptr;
    }
    PostQuitMessage(kMainWindowExitCode);
}

void MainWindow::OnSize() {
    HWND list = ListControl();
    if (!list)
        return;
    RECT client = {};
    GetClientRect(hwnd, &client);
    // A pause of screening, then the count of unseen refusals, when there are any, sit
    // above the list.
    const int margin = ScaleX(5);
    int top = pauseNote.Place(margin, 0, client.right - 2 * margin);
    top += unreadCount.Place(margin, top, client.right - 2 * margin);
    MoveWindow(list, 0, top, client.right, client.bottom - top, TRUE);
}

void MainWindow::OnCommand(UINT command) {
    switch (command) {
    case kCommandClose:
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        break;
    case kCommandNewProfile:
        NewProfile();
        break;
    case kCommandEditProfile:
        EditProfile();
        break;
    case kCommandDeleteProfile:
        DeleteProfile();
        break;
    case kCommandSupportMail:
        SendSupportMail(ResourceText(kSupportMailSubject).Get());
        break;
    case kCommandRecommendationMail:
        SendRecommendationMail(ResourceText(kRecommendationSubject).Get(),
                               ResourceText(kRecommendationBody).Get());
        break;
    case kCommandCheckForUpdate:
        CheckForUpdate();
        break;
    case kCommandActivateOneHour:
        ActivateProfileFor(TimedSpan::OneHour);
        break;
    case kCommandActivateTwoHours:
        ActivateProfileFor(TimedSpan::TwoHours);
        break;
    case kCommandActivateUntilMorning:
        ActivateProfileFor(TimedSpan::UntilMorning);
        break;
    case kCommandSchedule:
        ScheduleList::Run(hwnd, settings);
        break;
    case kCommandNumbers:
        NumberListScreen::Run(hwnd, settings);
        profileList.ReadNumberLists();
        break;
    case kCommandResumeScreening:
        ResumeScreening();
        break;
    case kCommandCallHistory:
        // Opening the history marks its refusals as seen; a caller may have gone on a
        // list from there.
        HistoryWindow::Run(hwnd, settings);
        unreadCount.Refresh();
        profileList.ReadNumberLists();
        OnSize();
        break;
    case kCommandBackup:
        BackUpFromMenu(hwnd);
        break;
    case kCommandRestore:
        if (RestoreFromMenu(hwnd))
            ReadStoredDataAgain();
        break;
    default:
        break;
    }
    SetFocus(ListControl());
}

HRESULT MainWindow::ResumeScreening() {
    HRESULT hr = WritePauseEndedAt(LocalNow());
    pauseNote.Refresh(LocalNow());
    OnSize();
    return hr;
}

void MainWindow::ReadStoredDataAgain() {
    settings.Reload();
    profileList.Fill(nullptr);
    unreadCount.Refresh();
    pauseNote.Refresh(LocalNow());
    OnSize();
}

void MainWindow::OnInitMenuPopup(HMENU menu) {
    // The pause may have begun or ended since the line was last read.
    const bool pausedBefore = pauseNote.Paused();
    pauseNote.Refresh(LocalNow());
    if (pauseNote.Paused() != pausedBefore)
        OnSize();
    EnableMenuItem(menu, kCommandResumeScreening,
                   MF_BYCOMMAND | (pauseNote.Paused() ? MF_ENABLED : MF_GRAYED));
    static const UINT profileCommands[] = {kCommandEditProfile, kCommandDeleteProfile};
    // Off, too, can be in force for a while.
    static const UINT timedCommands[] = {kCommandActivateOneHour, kCommandActivateTwoHours,
                                         kCommandActivateUntilMorning};
    profileList.EnableForSelection(menu, ARRAYSIZE(timedCommands), timedCommands);
    if (profileList.IsOffSelected()) {
        for (UINT command : profileCommands)
            EnableMenuItem(menu, command, MF_BYCOMMAND | MF_GRAYED);
        return;
    }
    profileList.EnableForSelection(menu, ARRAYSIZE(profileCommands), profileCommands);
}

HRESULT MainWindow::ActivateProfile(Profile* profile, bool silent) {
    if (!profile)
        return E_INVALIDARG;
    if (!silent && !profileList.IsActive(profile)) {
        ResourceText question(kActivateQuestion);
        if (MessageBoxW(hwnd, question.Get(), kMessageCaption, MB_OKCANCEL | MB_ICONQUESTION) !=
            IDOK)
            return E_FAIL;
    }
    // Stored at once with the request following it; the notice comes after.
    const ActiveChoice before = TakeActiveChoice(settings);
    HRESULT hr = settings.SetActiveProfile(profile->keyName[0] ? profile->keyName : nullptr);
    if (FAILED(hr)) {
        PutActiveChoice(settings, before);
        return hr;
    }
    // A choice by hand has no end.
    settings.EndTimedProfile();
    hr = CommitActiveChoice(settings, before, hwnd);
    if (FAILED(hr))
        return hr;
    if (!silent) {
        settings.ShowNoticeOnce(hwnd, kActivatedNotice, 0);
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    }
    return S_OK;
}

HRESULT MainWindow::ActivateProfileFor(TimedSpan span) {
    Profile* profile = profileList.SelectedProfile();
    if (!profile)
        return E_INVALIDARG;
    const SYSTEMTIME now = LocalNow();
    ProfileInForce inForce;
    HRESULT hr = ResolveProfileInForce(settings.activeProfile,
                                       settings.IsTimed() ? settings.activeUntil : nullptr,
                                       settings.nextProfile, now, &inForce);
    if (FAILED(hr))
        return hr;
    // While a timed profile is in force, the profile it was to hand back to comes back
    // after the new one too: the user's lasting choice is not lost.
    WCHAR after[kKeyNameChars];
    hr = StringCchCopyW(after, ARRAYSIZE(after),
                        inForce.timed ? settings.nextProfile : inForce.keyName);
    if (FAILED(hr))
        return hr;
    SYSTEMTIME end;
    hr = TimedProfileEnd(span, now, &end);
    if (FAILED(hr))
        return hr;
    const ActiveChoice before = TakeActiveChoice(settings);
    hr = settings.SetActiveProfile(profile->keyName[0] ? profile->keyName : nullptr);
    if (SUCCEEDED(hr))
        hr = settings.SetTimedProfile(end, after);
    if (SUCCEEDED(hr))
        hr = CommitActiveChoice(settings, before, hwnd);
    else
        PutActiveChoice(settings, before);
    if (FAILED(hr))
        return hr;
    settings.ShowNoticeOnce(hwnd, kActivatedNotice, 0);
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    return S_OK;
}

HRESULT MainWindow::NewProfile() {
    Profile profile;
    profile.SetMode(ScreeningMode::BlockAll);
    HRESULT hr = ProfileEditor::Run(&profile, hwnd, settings);
    if (FAILED(hr))
        return hr;
    // The new profile is only listed: it does not become active.
    return profileList.Fill(profile.keyName);
}

HRESULT MainWindow::SelectedStoredProfile(Profile** profile,
                                          WCHAR (&keyName)[kProfileKeyNameChars]) {
    if (profileList.IsOffSelected())
        return E_FAIL;
    *profile = profileList.SelectedProfile();
    if (!*profile)
        return E_INVALIDARG;
    // Fill destroys the list's records before it looks for the key name: keep a copy.
    return StringCchCopyW(keyName, kProfileKeyNameChars, (*profile)->keyName);
}

HRESULT MainWindow::EditProfile() {
    Profile* profile = nullptr;
    WCHAR keyName[kProfileKeyNameChars];
    HRESULT hr = SelectedStoredProfile(&profile, keyName);
    if (FAILED(hr))
        return hr;
    const bool active = SameKeyName(keyName, settings.activeProfile);
    const ScreeningMode mode = profile->mode;
    const DWORD repeatMinutes = profile->repeatMinutes;
    const DWORD calledDays = profile->calledDays;
    hr = ProfileEditor::Run(profile, hwnd, settings);
    if (FAILED(hr))
        return hr;
    // The block-all command carries the repeat minutes and the called days: a change to
    // them renews it too.
    if (active && (profile->mode != mode || profile->repeatMinutes != repeatMinutes ||
                   profile->calledDays != calledDays)) {
        hr = RenewCallNotification(settings.activeProfile, settings.IsTimed(), hwnd);
        if (FAILED(hr))
            return hr;
    }
    return profileList.Fill(keyName);
}

HRESULT MainWindow::DeleteProfile() {
    Profile* profile = nullptr;
    WCHAR keyName[kProfileKeyNameChars];
    HRESULT hr = SelectedStoredProfile(&profile, keyName);
    if (FAILED(hr))
        return hr;
    const bool scheduled = ScheduleHasRules();
    hr = profile->Delete();
    if (FAILED(hr))
        return hr;
    // The active profile is gone: nothing screens calls any more.
    if (SameKeyName(keyName, settings.activeProfile)) {
        hr = ActivateProfile(profileList.offEntry, true);
        if (FAILED(hr))
            return hr;
    } else if (scheduled && !ScheduleHasRules()) {
        // The last rule that took part named it: the active profile's own request again.
        hr = RenewCallNotification(settings.activeProfile, settings.IsTimed(), hwnd);
        if (FAILED(hr))
            return hr;
    }
    return profileList.Fill(nullptr);
}
