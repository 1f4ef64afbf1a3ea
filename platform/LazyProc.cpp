#include "platform/LazyProc.h"
#include <aygshell.h>
#include <pimstore.h>

namespace {

// GetProcAddressW exists on the phone only; desktop Windows looks names up in ANSI.
FARPROC LookUp(HMODULE module, LPCWSTR functionName) {
    if (IS_INTRESOURCE(functionName))
        return GetProcAddress(module, reinterpret_cast<LPCSTR>(functionName));
    char name[128];
    int i = 0;
    for (; functionName[i] && i < static_cast<int>(sizeof(name)) - 1; ++i) {
        if (functionName[i] > 0x7F)
            return nullptr; // export names are ASCII
        name[i] = static_cast<char>(functionName[i]);
    }
    if (functionName[i])
        return nullptr;
    name[i] = '\0';
    return GetProcAddress(module, name);
}

template <typename Function> struct LazySlot {
    HMODULE module = nullptr;
    FARPROC function = nullptr;

    Function Resolve(LPCWSTR library, LPCWSTR name) {
        ResolveLazyProc(&module, library, &function, name);
        return reinterpret_cast<Function>(reinterpret_cast<void*>(function));
    }
};

typedef LPWSTR(WINAPI* StrStrIWProc)(LPCWSTR, LPCWSTR);
typedef HRESULT(WINAPI* ChooseContactProc)(struct tagCHOOSECONTACT*);
typedef HRESULT(WINAPI* MailComposeMessageProc)(struct tagMAILCOMPOSEFIELDS*);
typedef HRESULT(WINAPI* FindMatchingContactProc)(IPOutlookApp*, LPCWSTR, DWORD, IItem**, CEPROPID*);

LazySlot<StrStrIWProc> strStrIW;
LazySlot<ChooseContactProc> chooseContact;
LazySlot<FindMatchingContactProc> findMatchingContact;
LazySlot<MailComposeMessageProc> mailComposeMessage;
LazySlot<PFN_SHPREVIOUSINSTANCE> previousInstance;

} // namespace

void ResolveLazyProc(HMODULE* module, LPCWSTR libraryName, FARPROC* function,
                     LPCWSTR functionName) {
    if (!*module) {
        *module = LoadLibraryW(libraryName);
        if (!*module)
            return;
    } else if (*function) {
        return;
    }
    *function = LookUp(*module, functionName);
}

LPWSTR LazyStrStrIW(LPCWSTR text, LPCWSTR search) {
    StrStrIWProc proc = strStrIW.Resolve(L"shlwapi.DLL", L"StrStrIW");
    return proc ? proc(text, search) : nullptr;
}

HRESULT LazyChooseContact(struct tagCHOOSECONTACT* request) {
    ChooseContactProc proc = chooseContact.Resolve(L"pimstore.DLL", L"ChooseContact");
    return proc ? proc(request) : S_OK;
}

HRESULT LazyFindMatchingContact(IPOutlookApp* application, LPCWSTR find, DWORD flags,
                                IItem** contact) {
    FindMatchingContactProc proc =
        findMatchingContact.Resolve(L"pimstore.DLL", L"FindMatchingContact");
    return proc ? proc(application, find, flags, contact, nullptr) : E_NOTIMPL;
}

HRESULT LazyMailComposeMessage(struct tagMAILCOMPOSEFIELDS* fields) {
    MailComposeMessageProc proc = mailComposeMessage.Resolve(L"CeMapi.DLL", L"MailComposeMessage");
    return proc ? proc(fields) : E_FAIL;
}

HRESULT LazyPreviousInstance(LPCWSTR windowClass, LPCWSTR windowTitle, HANDLE* instanceHandle,
                             HWND* existingWindow, BOOL* found) {
    PFN_SHPREVIOUSINSTANCE proc =
        previousInstance.Resolve(L"aygshell", MAKEINTRESOURCEW(SHELL_ORDINAL_PREVIOUS_INSTANCE));
    return proc ? proc(windowClass, windowTitle, instanceHandle, existingWindow, found) : E_FAIL;
}
