// The screens of the number lists on both kinds of phone: the rows of both lists with
// an entry that takes no part, New, Edit and Delete through the real dialogs and keys
// with what they store, Done waiting for an entry that parses, an entry moved between
// the lists, the check of a number; where an entry goes when it meets the same number;
// the screen from the main window's Menu, the broker request after a change and the Off
// row there; and the pictures of every screen.
#include "app/MainWindow.h"
#include "platform/LocalClock.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "screening/CallNotification.h"
#include "screening/CheckNumber.h"
#include "store/NumberList.h"
#include "support/EditorDriver.h"
#include "support/ListView.h"
#include "support/MainWindowFixture.h"
#include "support/PhoneState.h"
#include "support/Processes.h"
#include "support/ScheduleScreens.h"
#include "support/StoredProfiles.h"
#include "ui/NumberEditor.h"
#include "ui/NumberListScreen.h"
#include <commctrl.h>
#include <phoneemu.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const WCHAR kNumbersPath[] = L"Software\\Quorvane\\Vespera\\Numbers";
using Texts = std::vector<std::wstring>;

class NumberScreensTest : public ScheduleScreens {
protected:
    size_t Show(std::vector<DialogStep> steps) {
        HRESULT hr = E_UNEXPECTED;
        const size_t ran =
            DriveDialogs([&] { hr = NumberListScreen::Run(nullptr, *settings); }, std::move(steps));
        EXPECT_EQ(S_OK, hr);
        return ran;
    }
    // A list's stored strings, an entry's label after a tab; {"<missing>"} when the
    // value is not there.
    Texts Stored(const wchar_t* value) {
        DWORD type = 0;
        std::string bytes;
        if (!GetRaw(kNumbersPath, value, &type, &bytes))
            return {L"<missing>"};
        EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
        Texts texts;
        const auto* c = reinterpret_cast<const wchar_t*>(bytes.data());
        const auto* end = c + bytes.size() / sizeof(wchar_t);
        while (c < end && *c) {
            texts.emplace_back(c);
            c += texts.back().size() + 1;
        }
        return texts;
    }
    void Store(const wchar_t* value, const Texts& texts) {
        std::wstring block;
        for (const std::wstring& text : texts)
            block += text + L'\0';
        block += L'\0';
        ASSERT_EQ(ERROR_SUCCESS, SetRaw(kNumbersPath, value, REG_MULTI_SZ, block.data(),
                                        static_cast<DWORD>(block.size() * sizeof(wchar_t))));
    }
};

INSTANTIATE_TEST_SUITE_P(Phones, NumberScreensTest,
                         testing::Values(PHONEEMU_PLATFORM_SMARTPHONE, PHONEEMU_PLATFORM_POCKETPC),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return Narrow(info.param);
                         });

HWND RowsOf(HWND dialog) {
    return GetDlgItem(dialog, IDC_NUMBER_LIST);
}

NumberListScreen* ScreenOf(HWND dialog) {
    return static_cast<NumberListScreen*>(
        reinterpret_cast<WindowObject*>(GetWindowLongPtrW(dialog, GWLP_USERDATA)));
}

// The second line of a row, as it is drawn.
std::wstring DetailOf(HWND dialog, int row) {
    NumberListScreen* screen = ScreenOf(dialog);
    NumberListKind kind = NumberListKind::Blocked;
    const NumberList::Entry* entry = screen->EntryOf(screen->rows.GetItemData(row), &kind);
    if (!entry)
        return L"<no entry>";
    WCHAR detail[128] = L"";
    EXPECT_EQ(S_OK, DescribeNumberEntry(*entry, kind, detail, ARRAYSIZE(detail)));
    return detail;
}

void SelectRow(HWND dialog, int index) {
    ListView_SetItemState(RowsOf(dialog), index, LVIS_FOCUSED | LVIS_SELECTED,
                          LVIS_FOCUSED | LVIS_SELECTED);
}

int SelectedNumber(HWND dialog) {
    return ListView_GetNextItem(RowsOf(dialog), -1, LVNI_SELECTED);
}

// The text of a message box, as it asks or tells.
std::wstring BoxText(HWND box) {
    WCHAR text[512] = L"";
    GetDlgItemTextW(box, 0xFFFF, text, ARRAYSIZE(text));
    return text;
}

void Clear(HWND dialog, int control) {
    SetDlgItemTextW(dialog, control, L"");
}

TEST_P(NumberScreensTest, ListsBothListsAndSaysWhichEntryTakesNoPart) {
    Store(L"Blocked", {L"555 0100\tDoor to door", L"+1 900*", L"call me"});
    Store(L"Allowed", {L"0800 123 456\tSchool", L"+44 20 ???? 0018"});
    EXPECT_EQ(1u, Show({[&](HWND list) {
                            EXPECT_EQ(L"Numbers", Caption(list));
                            // Blocked first, each list as stored, every entry as typed.
                            EXPECT_EQ((Texts{L"555 0100", L"+1 900*", L"call me", L"0800 123 456",
                                             L"+44 20 ???? 0018"}),
                                      RowTexts(RowsOf(list)));
                            EXPECT_EQ(L"Door to door", DetailOf(list, 0));
                            EXPECT_EQ(L"Blocked", DetailOf(list, 1));
                            EXPECT_EQ(L"Not in use: not a number or pattern", DetailOf(list, 2));
                            EXPECT_EQ(L"School", DetailOf(list, 3));
                            EXPECT_EQ(L"Always allowed", DetailOf(list, 4));
                            EXPECT_EQ(0, SelectedNumber(list));
                            EXPECT_EQ(RowsOf(list), GetFocus());
                            // The rows fill the screen above the soft keys.
                            RECT client = {}, rows = {}, bar = {};
                            GetClientRect(list, &client);
                            GetClientRect(RowsOf(list), &rows);
                            EXPECT_EQ(client.bottom, rows.bottom);
                            GetWindowRect(RowsOf(list), &rows);
                            GetWindowRect(SoftKeyBar(list), &bar);
                            EXPECT_LE(rows.bottom, bar.top);
                            EXPECT_TRUE(CommandEnabled(list, IDM_NEW_NUMBER));
                            EXPECT_TRUE(CommandEnabled(list, IDM_EDIT_NUMBER));
                            EXPECT_TRUE(CommandEnabled(list, IDM_DELETE_NUMBER));
                            EXPECT_TRUE(CommandEnabled(list, IDM_CHECK_NUMBER));
                            PressKey(VK_ESCAPE); // Back closes the screen
                        },
                        [&](HWND) { ADD_FAILURE() << "Back left the screen open"; }}));
    // Looking changes nothing.
    EXPECT_EQ((Texts{L"555 0100\tDoor to door", L"+1 900*", L"call me"}), Stored(L"Blocked"));
}

TEST_P(NumberScreensTest, EmptyListsSayHowToBegin) {
    Show({[&](HWND list) {
        EXPECT_EQ(0, ListView_GetItemCount(RowsOf(list)));
        EXPECT_STREQ(ResourceText(IDS_NO_NUMBERS).Get(), ScreenOf(list)->rows.emptyText);
        EXPECT_TRUE(CommandEnabled(list, IDM_NEW_NUMBER));
        EXPECT_FALSE(CommandEnabled(list, IDM_EDIT_NUMBER));
        EXPECT_FALSE(CommandEnabled(list, IDM_DELETE_NUMBER));
        EXPECT_TRUE(CommandEnabled(list, IDM_CHECK_NUMBER));
    }});
}

TEST_P(NumberScreensTest, NewEditAndDeleteThroughTheDialogsAndKeys) {
    EXPECT_EQ(13u, Show({[&](HWND list) { PostMessageW(list, WM_COMMAND, IDM_NEW_NUMBER, 0); },
                         [&](HWND editor) {
                             // A new entry goes on the blocked numbers unless the user says
                             // otherwise.
                             EXPECT_EQ(L"Number", Caption(editor));
                             EXPECT_EQ(0, ChoiceOf(editor, IDC_NUMBER_KIND));
                             EXPECT_FALSE(LeftKeyEnabled(editor));
                             EXPECT_EQ(IDC_NUMBER, FocusedControl());
                             Type(editor, IDC_NUMBER, L"0900-12");
                             EXPECT_TRUE(LeftKeyEnabled(editor));
                             Type(editor, IDC_NUMBER_LABEL, L"Premium");
                             PressKey(VK_F2); // Cancel
                         },
                         [&](HWND list) {
                             EXPECT_EQ(0, ListView_GetItemCount(RowsOf(list)));
                             EXPECT_EQ(Texts{L"<missing>"}, Stored(L"Blocked"));
                             PostMessageW(list, WM_COMMAND, IDM_NEW_NUMBER, 0);
                         },
                         [&](HWND editor) {
                             Type(editor, IDC_NUMBER, L"0900-12*");
                             Type(editor, IDC_NUMBER_LABEL, L"Premium");
                             PressKey(VK_F1); // Done
                         },
                         [&](HWND list) {
                             EXPECT_EQ(Texts{L"0900-12*"}, RowTexts(RowsOf(list)));
                             EXPECT_EQ(L"Premium", DetailOf(list, 0));
                             EXPECT_EQ(Texts{L"0900-12*\tPremium"}, Stored(L"Blocked"));
                             SelectRow(list, 0);
                             PressKey(VK_RETURN); // the Action key edits the row
                         },
                         [&](HWND editor) {
                             EXPECT_EQ(L"0900-12*", Text(editor, IDC_NUMBER));
                             EXPECT_EQ(L"Premium", Text(editor, IDC_NUMBER_LABEL));
                             Clear(editor, IDC_NUMBER_LABEL);
                             Type(editor, IDC_NUMBER_LABEL, L"Premium lines");
                             PressKey(VK_F1);
                         },
                         [&](HWND list) {
                             EXPECT_EQ(Texts{L"0900-12*\tPremium lines"}, Stored(L"Blocked"));
                             PostMessageW(list, WM_COMMAND, IDM_NEW_NUMBER, 0);
                         },
                         [&](HWND editor) {
                             Type(editor, IDC_NUMBER, L"5550100");
                             Choose(editor, IDC_NUMBER_KIND, 1); // Allowed numbers
                             PressKey(VK_F1);
                         },
                         [&](HWND list) {
                             EXPECT_EQ((Texts{L"0900-12*", L"5550100"}), RowTexts(RowsOf(list)));
                             EXPECT_EQ(1, SelectedNumber(list)) << "the new entry is selected";
                             EXPECT_EQ(Texts{L"5550100"}, Stored(L"Allowed"));
                             SelectRow(list, 0);
                             PostMessageW(list, WM_COMMAND, IDM_DELETE_NUMBER, 0);
                         },
                         [&](HWND box) {
                             EXPECT_EQ(L"Delete 0900-12* from your blocked numbers?", BoxText(box));
                             PostMessageW(box, WM_COMMAND, IDNO, 0);
                         },
                         [&](HWND list) {
                             EXPECT_EQ(2, ListView_GetItemCount(RowsOf(list)));
                             EXPECT_EQ(Texts{L"0900-12*\tPremium lines"}, Stored(L"Blocked"));
                             PostMessageW(list, WM_COMMAND, IDM_DELETE_NUMBER, 0);
                         },
                         [&](HWND box) { PostMessageW(box, WM_COMMAND, IDYES, 0); },
                         [&](HWND list) {
                             EXPECT_EQ(Texts{L"5550100"}, RowTexts(RowsOf(list)));
                             EXPECT_EQ(0, SelectedNumber(list));
                             EXPECT_EQ(Texts{L"<missing>"}, Stored(L"Blocked"))
                                 << "an empty list is no value";
                             EXPECT_EQ(Texts{L"5550100"}, Stored(L"Allowed"));
                         }}));
}

TEST_P(NumberScreensTest, DoneWaitsForAnEntryThatParses) {
    Store(L"Blocked", {L"call me\tOld"});
    EXPECT_EQ(4u,
              Show({[&](HWND list) {
                        EXPECT_EQ(L"Not in use: not a number or pattern", DetailOf(list, 0));
                        PostMessageW(list, WM_COMMAND, IDM_EDIT_NUMBER, 0);
                    },
                    [&](HWND editor) {
                        // A stored entry that does not parse opens as it is, with Done unavailable.
                        EXPECT_EQ(L"call me", Text(editor, IDC_NUMBER));
                        EXPECT_FALSE(LeftKeyEnabled(editor));
                        for (const wchar_t* text : {L"", L"abc", L"12*3", L"1+2", L"*", L"+", L"()",
                                                    L"1234567890123456789012345678901234567890"}) {
                            SetDlgItemTextW(editor, IDC_NUMBER, text);
                            EXPECT_FALSE(LeftKeyEnabled(editor)) << "\"" << Narrow(text) << "\"";
                        }
                        for (const wchar_t* text : {L"5", L"+44 20 7946 0018", L"(030) 12-34",
                                                    L"0900*", L"555 01??", L"+1 900 *"}) {
                            SetDlgItemTextW(editor, IDC_NUMBER, text);
                            EXPECT_TRUE(LeftKeyEnabled(editor)) << "\"" << Narrow(text) << "\"";
                        }
                        Clear(editor, IDC_NUMBER);
                        Type(editor, IDC_NUMBER, L"555-0123x");
                        EXPECT_FALSE(LeftKeyEnabled(editor));
                        PressKey(VK_F1); // Done is not available: nothing happens
                    },
                    [&](HWND editor) {
                        EXPECT_EQ(L"Number", Caption(editor)) << "the editor stays open";
                        Type(editor, IDC_NUMBER, L"\b"); // one character deleted
                        EXPECT_EQ(L"555-0123", Text(editor, IDC_NUMBER));
                        EXPECT_TRUE(LeftKeyEnabled(editor));
                        PressKey(VK_F1);
                    },
                    [&](HWND list) {
                        EXPECT_EQ(Texts{L"555-0123\tOld"}, Stored(L"Blocked"));
                        EXPECT_EQ(L"Old", DetailOf(list, 0));
                    }}));
}

TEST_P(NumberScreensTest, AnEntryMovedToTheOtherListLeavesTheFirst) {
    Store(L"Blocked", {L"5550100\tMum", L"0900*"});
    Store(L"Allowed", {L"0800 123", L"555 0100\tOld"});
    EXPECT_EQ(
        5u, Show({[&](HWND list) {
                      SelectRow(list, 0);
                      PostMessageW(list, WM_COMMAND, IDM_EDIT_NUMBER, 0);
                  },
                  [&](HWND editor) {
                      EXPECT_EQ(0, ChoiceOf(editor, IDC_NUMBER_KIND));
                      Choose(editor, IDC_NUMBER_KIND, 1);
                      PressKey(VK_F1);
                  },
                  [&](HWND list) {
                      // The other list held the same number in other words: one entry, the
                      // moved one, in its place.
                      EXPECT_EQ(Texts{L"0900*"}, Stored(L"Blocked"));
                      EXPECT_EQ((Texts{L"0800 123", L"5550100\tMum"}), Stored(L"Allowed"));
                      EXPECT_EQ((Texts{L"0900*", L"0800 123", L"5550100"}), RowTexts(RowsOf(list)));
                      EXPECT_EQ(2, SelectedNumber(list)) << "the moved entry stays selected";
                      PostMessageW(list, WM_COMMAND, IDM_EDIT_NUMBER, 0);
                  },
                  [&](HWND editor) {
                      EXPECT_EQ(1, ChoiceOf(editor, IDC_NUMBER_KIND));
                      Choose(editor, IDC_NUMBER_KIND, 0);
                      PressKey(VK_F1);
                  },
                  [&](HWND list) {
                      EXPECT_EQ((Texts{L"0900*", L"5550100\tMum"}), Stored(L"Blocked"));
                      EXPECT_EQ(Texts{L"0800 123"}, Stored(L"Allowed"));
                      EXPECT_EQ(1, SelectedNumber(list));
                  }}));
}

TEST_P(NumberScreensTest, AThousandEntriesInEachListAreAllListed) {
    Texts blocked, allowed;
    for (int i = 0; i < 1000; ++i) {
        blocked.push_back(L"+1 555 " + std::to_wstring(100000 + i) + L"\tCaller " +
                          std::to_wstring(i));
        allowed.push_back(L"0800 " + std::to_wstring(200000 + i));
    }
    Store(L"Blocked", blocked);
    Store(L"Allowed", allowed);
    EXPECT_EQ(4u, Show({[&](HWND list) {
                            HWND rows = RowsOf(list);
                            ASSERT_EQ(2000, ListView_GetItemCount(rows));
                            SelectRow(list, 1999);
                            ListView_EnsureVisible(rows, 1999, FALSE);
                            EXPECT_EQ(L"0800 200999", RowTexts(rows).back());
                            EXPECT_EQ(L"Always allowed", DetailOf(list, 1999));
                            EXPECT_EQ(L"Caller 999", DetailOf(list, 999));
                            // A full list takes no more.
                            PostMessageW(list, WM_COMMAND, IDM_NEW_NUMBER, 0);
                        },
                        [&](HWND editor) {
                            Type(editor, IDC_NUMBER, L"5550100");
                            PressKey(VK_F1);
                        },
                        [&](HWND box) {
                            EXPECT_EQ(ResourceText(IDS_NUMBER_LIST_FULL).Get(), BoxText(box));
                            PostMessageW(box, WM_COMMAND, IDOK, 0);
                        },
                        [&](HWND list) { EXPECT_EQ(2000, ListView_GetItemCount(RowsOf(list))); }}));
    EXPECT_EQ(1000u, Stored(L"Blocked").size());
}

TEST_P(NumberScreensTest, CheckANumberShowsTheWordsOfTheCheckBelowTheFields) {
    Store(L"Blocked", {L"0900*\tPremium"});
    CallCheck typed, withheld;
    ASSERT_EQ(S_OK, CheckNumber(*settings, L"0900 123", nullptr, &typed));
    ASSERT_EQ(S_OK, CheckNumber(*settings, nullptr, nullptr, &withheld));
    EXPECT_EQ(6u, Show({[&](HWND list) { PostMessageW(list, WM_COMMAND, IDM_CHECK_NUMBER, 0); },
                        [&](HWND check) {
                            EXPECT_EQ(L"Check a number", Caption(check));
                            EXPECT_EQ(IDC_CHECK_NUMBER, FocusedControl());
                            EXPECT_EQ(ResourceText(IDS_CHECK_PROMPT).Get(),
                                      Text(check, IDC_CHECK_RESULT));
                            EXPECT_FALSE(LeftKeyEnabled(check)) << "nothing to check yet";
                            Type(check, IDC_CHECK_NUMBER, L"0900 123");
                            EXPECT_TRUE(LeftKeyEnabled(check));
                            PressKey(VK_F1); // Check
                        },
                        [&](HWND check) {
                            EXPECT_EQ(typed.words, Text(check, IDC_CHECK_RESULT));
                            // A withheld caller: the Action key ticks the box.
                            SetFocus(GetDlgItem(check, IDC_CHECK_WITHHELD));
                            PressKey(VK_RETURN);
                        },
                        [&](HWND check) {
                            EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(check, IDC_CHECK_WITHHELD));
                            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(check, IDC_CHECK_NUMBER)));
                            EXPECT_TRUE(LeftKeyEnabled(check));
                            PressKey(VK_F1);
                        },
                        [&](HWND check) {
                            EXPECT_EQ(withheld.words, Text(check, IDC_CHECK_RESULT));
                            PressKey(VK_F2); // Done
                        },
                        [&](HWND list) { EXPECT_EQ(L"Numbers", Caption(list)); }}));
    // Checking wrote nothing.
    EXPECT_EQ(Texts{L"0900*\tPremium"}, Stored(L"Blocked"));
}

// ---- Where an entry goes ----

class PlacingEntries : public ScratchRegistry {
protected:
    HRESULT Place(NumberListKind kind, LPCWSTR text, LPCWSTR label, int editedIndex = -1,
                  NumberListKind editedKind = NumberListKind::Blocked, bool keepLabel = false) {
        NumberPlacement placement;
        placement.kind = kind;
        placement.text = text;
        placement.label = label;
        placement.editedKind = editedKind;
        placement.editedIndex = editedIndex;
        placement.keepLabel = keepLabel;
        EXPECT_EQ(S_OK, LoadNumberLists(&blocked, &allowed));
        return PlaceNumberEntry(blocked, allowed, placement, &placed);
    }
    Texts Entries(NumberListKind kind) {
        NumberList list(kind);
        EXPECT_EQ(S_OK, list.Load());
        Texts texts;
        for (UINT i = 0; i < list.Count(); ++i)
            texts.push_back(std::wstring(list[i].text) + (list[i].label[0] ? L"/" : L"") +
                            list[i].label);
        return texts;
    }
    NumberList blocked{NumberListKind::Blocked};
    NumberList allowed{NumberListKind::Allowed};
    UINT placed = 0;
};

TEST_F(PlacingEntries, TheSameNumberTwiceIsOneEntryOnOneList) {
    const auto Blocked = NumberListKind::Blocked;
    const auto Allowed = NumberListKind::Allowed;
    EXPECT_EQ(S_OK, Place(Blocked, L"5550100", L"Mum"));
    EXPECT_EQ(S_OK, Place(Blocked, L"0900*", L""));
    EXPECT_EQ(1u, placed);
    // Added again, kept as it is when asked, or given the new label.
    EXPECT_EQ(S_FALSE, Place(Blocked, L"555-0100", L"Other", -1, Blocked, true));
    EXPECT_EQ(0u, placed);
    EXPECT_EQ((Texts{L"5550100/Mum", L"0900*"}), Entries(Blocked));
    EXPECT_EQ(S_OK, Place(Blocked, L"555-0100", L"Other"));
    EXPECT_EQ((Texts{L"555-0100/Other", L"0900*"}), Entries(Blocked));
    // Nothing changed: nothing written.
    EXPECT_EQ(S_FALSE, Place(Blocked, L"555-0100", L"Other", 0, Blocked));
    // Onto the other list: off the first.
    EXPECT_EQ(S_OK, Place(Allowed, L"5550100", L"Mum"));
    EXPECT_EQ(Texts{L"0900*"}, Entries(Blocked));
    EXPECT_EQ(Texts{L"5550100/Mum"}, Entries(Allowed));
    // An entry edited into one that is there already: the two become one.
    EXPECT_EQ(S_OK, Place(Blocked, L"0800 1", L""));
    EXPECT_EQ(S_OK, Place(Blocked, L"0900 *", L"Premium", 1, Blocked));
    EXPECT_EQ(0u, placed);
    EXPECT_EQ(Texts{L"0900 */Premium"}, Entries(Blocked));
    EXPECT_EQ(E_INVALIDARG, Place(Blocked, L"abc", L""));
    EXPECT_EQ(E_INVALIDARG, Place(Blocked, L"1", L"", 5, Blocked));
}

// ---- From the main window ----

class NumbersFromMainWindow : public MainWindowFixture {
protected:
    std::wstring OffDetail() {
        ProfileList& rows = TheMainWindow().profileList;
        WCHAR text[128] = L"";
        EXPECT_EQ(S_OK, rows.DetailText(*rows.offEntry, LocalNow(), text, ARRAYSIZE(text)));
        return text;
    }
};

TEST_F(NumbersFromMainWindow, MenuOpensTheNumbersAndTheOffRowTellsOfBlockedNumbers) {
    HMENU bar = LoadResourceMenu(IDR_MAIN_MENU);
    ASSERT_TRUE(bar);
    WCHAR text[32] = L"";
    GetMenuStringW(GetSubMenu(bar, 1), IDM_NUMBERS, text, ARRAYSIZE(text), MF_BYCOMMAND);
    EXPECT_STREQ(L"Numbers", text);
    DestroyMenu(bar);

    Open();
    ASSERT_TRUE(window);
    EXPECT_EQ(L"Allow all calls", OffDetail());
    // An entry that takes no part refuses nothing: Off says what it said.
    const wchar_t notInUse[] = L"call me\0";
    ASSERT_EQ(ERROR_SUCCESS,
              SetRaw(kNumbersPath, L"Blocked", REG_MULTI_SZ, notInUse, sizeof(notInUse)));
    EXPECT_EQ(1u, DriveDialogs([&] { SendMessageW(window, WM_COMMAND, kCommandNumbers, 0); },
                               {[&](HWND list) {
                                   EXPECT_EQ(L"Numbers", Caption(list));
                                   EXPECT_FALSE(IsWindowEnabled(window));
                               }}));
    EXPECT_TRUE(IsWindowEnabled(window));
    EXPECT_EQ(list, GetFocus());
    EXPECT_EQ(L"Allow all calls", OffDetail());

    // A blocked number added on the screen: Off lets all but it through.
    EXPECT_EQ(3u,
              DriveDialogs([&] { SendMessageW(window, WM_COMMAND, kCommandNumbers, 0); },
                           {[&](HWND list) { PostMessageW(list, WM_COMMAND, IDM_NEW_NUMBER, 0); },
                            [&](HWND editor) {
                                Type(editor, IDC_NUMBER, L"5550100");
                                PressKey(VK_F1);
                            },
                            [&](HWND) { PressKey(VK_F1); }})); // Done
    EXPECT_EQ(L"Allow all but blocked numbers", OffDetail());
    // Only the blocked list counts.
    DeleteStoredRequest(kIncomingCallNotification);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyValueW(scratch, kNumbersPath, L"Blocked"));
    const wchar_t allowed[] = L"5550100\0";
    ASSERT_EQ(ERROR_SUCCESS,
              SetRaw(kNumbersPath, L"Allowed", REG_MULTI_SZ, allowed, sizeof(allowed)));
    DriveDialogs([&] { SendMessageW(window, WM_COMMAND, kCommandNumbers, 0); }, {});
    EXPECT_EQ(L"Allow all calls", OffDetail());
}

TEST_F(NumbersFromMainWindow, EveryChangeRenewsTheBrokerRequestForTheMainWindow) {
    const std::wstring known = SaveProfile(L"Known callers", ScreeningMode::BlockUnknown);
    ASSERT_EQ(S_OK, settings().SetActiveProfile(known.c_str()));
    Open();
    ASSERT_TRUE(window);
    auto request = [] { return ReadStoredRequest(kIncomingCallNotification); };
    DeleteStoredRequest(kIncomingCallNotification);
    EXPECT_EQ(5u,
              DriveDialogs([&] { SendMessageW(window, WM_COMMAND, kCommandNumbers, 0); },
                           {[&](HWND list) { PostMessageW(list, WM_COMMAND, IDM_NEW_NUMBER, 0); },
                            [&](HWND editor) {
                                Type(editor, IDC_NUMBER, L"5550100");
                                PressKey(VK_F1);
                            },
                            [&](HWND list) {
                                // The request names the main window, whose class and title it
                                // carries.
                                EXPECT_TRUE(request().exists);
                                EXPECT_EQ(kMainWindowClass, request().windowClass);
                                DeleteStoredRequest(kIncomingCallNotification);
                                PostMessageW(list, WM_COMMAND, IDM_DELETE_NUMBER, 0);
                            },
                            [&](HWND box) { PostMessageW(box, WM_COMMAND, IDYES, 0); },
                            [&](HWND) { EXPECT_TRUE(request().exists); }}));
    DeleteStoredRequest(kIncomingCallNotification);
}

// ---- Pictures ----

// Saves build/screenshots/numbers-<screen>{,-editor,-editor-dropped,-check}.bmp for
// tools/screenshot-numbers, which names the screen in VESPERA_SCREEN.
TEST_P(NumberScreensTest, DISABLED_Screenshots) {
    WCHAR screen[32] = L"";
    GetEnvironmentVariableW(L"VESPERA_SCREEN", screen, ARRAYSIZE(screen));
    const std::wstring name = L"numbers-" + std::wstring(screen[0] ? screen : GetParam());
    Store(L"Blocked", {L"+1 900 *\tPremium lines", L"0161 496 0000\tDouble glazing",
                       L"call me back", L"555 01??\tThe office block"});
    Store(L"Allowed", {L"+44 20 7946 0018\tAda Byron", L"0800 123 456"});
    Show({[&](HWND list) {
              SavePicture(list, name);
              SelectRow(list, 1);
              PostMessageW(list, WM_COMMAND, IDM_EDIT_NUMBER, 0);
          },
          [&](HWND editor) {
              SavePicture(editor, name + L"-editor");
              if (IsPocketPC())
                  SendDlgItemMessageW(editor, IDC_NUMBER_KIND, CB_SHOWDROPDOWN, TRUE, 0);
          },
          [&](HWND editor) {
              if (IsPocketPC())
                  SavePicture(editor, name + L"-editor-dropped");
              PressKey(VK_F2);
          },
          [&](HWND list) { PostMessageW(list, WM_COMMAND, IDM_CHECK_NUMBER, 0); },
          [&](HWND check) {
              Type(check, IDC_CHECK_NUMBER, L"+1 900 555 0199");
              PostMessageW(check, WM_COMMAND, IDM_DONE, 0); // Check
          },
          [&](HWND check) {
              SavePicture(check, name + L"-check");
              PostMessageW(check, WM_COMMAND, IDM_CANCEL, 0);
          }});
}

} // namespace
