// ChooseContact: the phone's modal contact picker. It fills the phone's screen, lists
// the contacts by name, narrows the list as the user types (a contact stays when a
// word of its name begins with the typed text) and hands back the chosen contact.
// The emulated chooser always picks a contact, never one of its properties, and does
// not read the restriction text; a required PIMPR_ALL_COMMUNICATION_METHODS leaves out
// contacts without a number.
#include "pimstore/ContactDb.h"
#include "pimstore/Module.h"
#include <commctrl.h>
#include <phoneemu.h>
#include <pimstore.h>
#include <algorithm>
#include <vector>

namespace {

const int kFilterId = 100;
const int kListId = 101;
const wchar_t kDefaultTitle[] = L"Choose Contact";

// The phone's screen and density, as the device publishes them.
void ScreenFacts(int* width, int* height, int* dpi) {
    DWORD value = 0, size = sizeof(value);
    *width = RegGetValueW(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, PHONEEMU_SCREENWIDTH_VALUE,
                          RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS &&
                     value
                 ? static_cast<int>(value)
                 : 240;
    size = sizeof(value);
    *height = RegGetValueW(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, PHONEEMU_SCREENHEIGHT_VALUE,
                           RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS &&
                      value
                  ? static_cast<int>(value)
                  : 320;
    size = sizeof(value);
    *dpi = RegGetValueW(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, PHONEEMU_LOGPIXELS_VALUE,
                        RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS &&
                   value
               ? static_cast<int>(value)
               : 131;
}

bool IsWordStart(const std::wstring& text, size_t at) {
    return at == 0 || !IsCharAlphaNumericW(text[at - 1]);
}

// True when a word of the name begins with the typed text, ignoring case.
bool NameMatches(const std::wstring& name, const std::wstring& typed) {
    if (typed.empty())
        return true;
    for (size_t at = 0; at + typed.size() <= name.size(); ++at) {
        if (IsWordStart(name, at) &&
            CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str() + at,
                           static_cast<int>(typed.size()), typed.c_str(),
                           static_cast<int>(typed.size())) == CSTR_EQUAL)
            return true;
    }
    return false;
}

bool Requires(const CHOOSECONTACT& request, CEPROPID property) {
    if (!request.rgpropidRequiredProperties)
        return false;
    for (UINT i = 0; i < request.cRequiredProperties; ++i)
        if (request.rgpropidRequiredProperties[i] == property)
            return true;
    return false;
}

// A dialog template with no controls: the chooser lays its controls out itself, in
// pixels of the phone's screen.
class EmptyTemplate {
public:
    explicit EmptyTemplate(const std::wstring& title) {
        DLGTEMPLATE header = {};
        header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
        Append(&header, sizeof(header));
        AppendWord(0); // no menu
        AppendWord(0); // the standard dialog class
        AppendText(title);
        AppendWord(8); // point size
        AppendText(L"MS Shell Dlg");
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words.data()); }

private:
    void Append(const void* data, size_t bytes) {
        const WORD* source = static_cast<const WORD*>(data);
        words.insert(words.end(), source, source + bytes / sizeof(WORD));
    }
    void AppendWord(WORD word) { words.push_back(word); }
    void AppendText(const std::wstring& text) {
        for (wchar_t c : text)
            words.push_back(static_cast<WORD>(c));
        words.push_back(0);
    }
    std::vector<WORD> words; // WORD-aligned, as templates must be
};

class ContactChooser {
public:
    ContactChooser(const CHOOSECONTACT& request, std::vector<ContactRecord> contacts)
        : request(request), contacts(std::move(contacts)) {}

    // IDOK with the chosen contact in *chosen, IDCANCEL, or -1 when the dialog failed.
    INT_PTR Run(const ContactRecord** chosen) {
        std::wstring title =
            request.lpstrTitle && *request.lpstrTitle ? request.lpstrTitle : kDefaultTitle;
        EmptyTemplate dialog(title);
        INT_PTR result =
            DialogBoxIndirectParamW(Module::Instance(), dialog.Get(), request.hwndOwner, DialogProc,
                                    reinterpret_cast<LPARAM>(this));
        *chosen = choice;
        return result;
    }

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            ContactChooser* self = reinterpret_cast<ContactChooser*>(lParam);
            self->window = dialog;
            return self->OnInitDialog();
        }
        ContactChooser* self =
            reinterpret_cast<ContactChooser*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (!self)
            return FALSE;
        if (message == WM_COMMAND)
            return self->OnCommand(LOWORD(wParam), HIWORD(wParam));
        if (message == WM_DESTROY)
            SetWindowLongPtrW(dialog, DWLP_USER, 0);
        return FALSE;
    }

    // The filter field hands the keys that move through the list to the list.
    static LRESULT CALLBACK FilterProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR list) {
        if (message == WM_KEYDOWN &&
            (wParam == VK_UP || wParam == VK_DOWN || wParam == VK_PRIOR || wParam == VK_NEXT))
            return SendMessageW(reinterpret_cast<HWND>(list), message, wParam, lParam);
        if (message == WM_NCDESTROY)
            RemoveWindowSubclass(edit, FilterProc, 0);
        return DefSubclassProc(edit, message, wParam, lParam);
    }

    BOOL OnInitDialog() {
        int width = 0, height = 0, dpi = 0;
        ScreenFacts(&width, &height, &dpi);
        RECT owner = {};
        if (request.hwndOwner)
            GetWindowRect(request.hwndOwner, &owner);
        SetWindowPos(window, HWND_TOP, owner.left, owner.top, width, height, 0);

        RECT client;
        GetClientRect(window, &client);
        const int margin = MulDiv(3, dpi, 96);
        const int fieldHeight = MulDiv(20, dpi, 96);
        const int barHeight = MulDiv(20, dpi, 96); // the soft-key bar
        const int cw = client.right, ch = client.bottom;
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
        HINSTANCE instance = Module::Instance();

        filter = CreateWindowExW(
            WS_EX_CLIENTEDGE, L"Edit", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
            margin, margin, cw - 2 * margin, fieldHeight, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFilterId)), instance, nullptr);
        const int listTop = 2 * margin + fieldHeight;
        list = CreateWindowExW(
            WS_EX_CLIENTEDGE, L"ListBox", L"",
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
            margin, listTop, cw - 2 * margin, ch - listTop - barHeight - margin, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), instance, nullptr);
        const int buttonWidth = (cw - 3 * margin) / 2;
        select = CreateWindowExW(
            0, L"Button", L"Select", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, margin,
            ch - barHeight, buttonWidth, barHeight - 1, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), instance, nullptr);
        HWND cancel = CreateWindowExW(
            0, L"Button", L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
            2 * margin + buttonWidth, ch - barHeight, buttonWidth, barHeight - 1, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)), instance, nullptr);
        if (!filter || !list || !select || !cancel) {
            EndDialog(window, -1);
            return FALSE;
        }
        for (HWND control : {filter, list, select, cancel})
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SetWindowSubclass(filter, FilterProc, 0, reinterpret_cast<DWORD_PTR>(list));

        // The filter starts with what the caller typed already.
        if (request.lpstrIncrementalFilter)
            SetWindowTextW(filter, request.lpstrIncrementalFilter);
        Refill();
        SetFocus(filter);
        SendMessageW(filter, EM_SETSEL, 0, -1);
        return FALSE; // the focus is set
    }

    BOOL OnCommand(int id, int notification) {
        if (id == kFilterId && notification == EN_CHANGE) {
            Refill();
            return TRUE;
        }
        if (id == kListId && notification == LBN_SELCHANGE) {
            EnableWindow(select, SelectedContact() != nullptr);
            return TRUE;
        }
        if ((id == kListId && notification == LBN_DBLCLK) || id == IDOK) {
            choice = SelectedContact();
            if (choice)
                EndDialog(window, IDOK);
            return TRUE;
        }
        if (id == IDCANCEL) {
            EndDialog(window, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }

    void Refill() {
        int length = GetWindowTextLengthW(filter);
        std::wstring typed(static_cast<size_t>(length) + 1, L'\0');
        GetWindowTextW(filter, &typed[0], length + 1);
        typed.resize(static_cast<size_t>(length));

        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        for (size_t i = 0; i < contacts.size(); ++i) {
            if (!NameMatches(contacts[i].fileAs, typed))
                continue;
            LRESULT row = SendMessageW(list, LB_ADDSTRING, 0,
                                       reinterpret_cast<LPARAM>(contacts[i].fileAs.c_str()));
            if (row >= 0)
                SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(row), i);
        }
        SendMessageW(list, LB_SETCURSEL, 0, 0);
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
        EnableWindow(select, SelectedContact() != nullptr);
    }

    const ContactRecord* SelectedContact() const {
        LRESULT row = SendMessageW(list, LB_GETCURSEL, 0, 0);
        if (row == LB_ERR)
            return nullptr;
        LRESULT index = SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(row), 0);
        if (index == LB_ERR || static_cast<size_t>(index) >= contacts.size())
            return nullptr;
        return &contacts[static_cast<size_t>(index)];
    }

    const CHOOSECONTACT& request;
    std::vector<ContactRecord> contacts; // in the order shown, without the filter
    HWND window = nullptr;
    HWND filter = nullptr;
    HWND list = nullptr;
    HWND select = nullptr;
    const ContactRecord* choice = nullptr;
};

} // namespace

extern "C" HRESULT WINAPI ChooseContact(CHOOSECONTACT* request) {
    if (!request || request->cbSize != sizeof(CHOOSECONTACT))
        return E_INVALIDARG;
    request->oidContactID = 0;
    request->bstrContactName = nullptr;
    request->propidSelected = 0;
    request->bstrPropertyValueSelected = nullptr;

    std::vector<ContactRecord> all;
    HRESULT hr = ContactDb::LoadAll(&all);
    if (FAILED(hr))
        return hr;
    std::vector<ContactRecord> shown;
    const bool needsNumber = Requires(*request, PIMPR_ALL_COMMUNICATION_METHODS);
    for (ContactRecord& contact : all)
        if (!needsNumber || !contact.numbers.empty())
            shown.push_back(std::move(contact));
    std::stable_sort(
        shown.begin(), shown.end(), [](const ContactRecord& a, const ContactRecord& b) {
            return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.fileAs.c_str(), -1,
                                  b.fileAs.c_str(), -1) == CSTR_LESS_THAN;
        });

    ContactChooser chooser(*request, std::move(shown));
    const ContactRecord* chosen = nullptr;
    INT_PTR result = chooser.Run(&chosen);
    if (result == -1)
        return HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_CANCELLED);
    if (result != IDOK || !chosen)
        return E_ABORT;
    BSTR name = SysAllocString(chosen->fileAs.c_str());
    if (!name)
        return E_OUTOFMEMORY;
    request->oidContactID = chosen->oid;
    request->bstrContactName = name;
    return S_OK;
}
