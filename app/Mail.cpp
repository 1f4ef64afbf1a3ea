#include "app/Mail.h"
#include "platform/LazyProc.h"
#include "app/MainWindow.h"
#include "platform/Cursor.h"
#include <cemapi.h>
#include <shellapi.h>
#include <strsafe.h>

const WCHAR kSupportMailbox[] = L"Quorvane Support <support@quorvane.com>";
const WCHAR kUpdateAddressFormat[] = L"http://www.quorvane.com/mobile/update.aspx?id=%d&ver=%s";

namespace {

const WCHAR kMailAccount[] = L"ActiveSync";
const int kUpdateProductId = 4;
const WCHAR kProgramVersion[] = L"1.0";

} // namespace

HRESULT ComposeMail(LPCWSTR recipient, LPCWSTR subject, LPCWSTR body) {
    WaitCursor wait;
    MAILCOMPOSEFIELDS fields = {};
    fields.cbSize = sizeof(fields);
    fields.dwFlags = MCF_ACCOUNT_IS_NAME;
    fields.pszTo = recipient;
    fields.pszSubject = subject;
    fields.pszBody = body;
    fields.pszAccount = kMailAccount;
    return LazyMailComposeMessage(&fields);
}

HRESULT SendSupportMail(LPCWSTR subject) {
    return ComposeMail(kSupportMailbox, subject, nullptr);
}

HRESULT SendRecommendationMail(LPCWSTR subject, LPCWSTR body) {
    return ComposeMail(nullptr, subject, body);
}

HRESULT CheckForUpdate() {
    WCHAR address[260];
    HRESULT hr = StringCchPrintfW(address, ARRAYSIZE(address), kUpdateAddressFormat,
                                  kUpdateProductId, kProgramVersion);
    if (FAILED(hr))
        return hr;
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof(execute);
    // The phone's opener fails silently; the desktop's would show an error box.
    execute.fMask = SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = L"open";
    execute.lpFile = address;
    execute.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&execute))
        return E_FAIL;
    // Posted, so that the command that asked finishes before the window goes. Without
    // a main window there is nothing to close (a null window would post to the thread).
    if (HWND main = TheMainWindow().hwnd)
        PostMessageW(main, WM_CLOSE, 0, 0);
    return hr;
}
