// Public declarations of the phone's mail composition service (cemapi), as Windows
// Mobile 5.0 exposes it. Desktop Windows has no such library: the emulator builds one.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef CEMAPI_API
#define CEMAPI_API __declspec(dllimport)
#endif

// A request to open the mail editor with fields filled in. Addresses are separated by
// ';' and may carry a display name ("Name <user@example.com>"). Every text is borrowed
// for the duration of the call only.
typedef struct tagMAILCOMPOSEFIELDS {
    DWORD cbSize; // sizeof(MAILCOMPOSEFIELDS)
    DWORD dwFlags;
    LPCWSTR pszTo;
    LPCWSTR pszCc;
    LPCWSTR pszBcc;
    LPCWSTR pszSubject;
    LPCWSTR pszBody;
    LPCWSTR* pszAttachments; // cAttachments file paths
    DWORD cAttachments;
    LPCWSTR pszAccount;  // see MCF_ACCOUNT_IS_NAME
    LPCWSTR pszMsgClass; // null for a plain mail ("IPM.Note")
} MAILCOMPOSEFIELDS, *LPMAILCOMPOSEFIELDS;

#define MCF_ACCOUNT_IS_NAME 0x00000001 // pszAccount is the name of a mail account

CEMAPI_API HRESULT WINAPI MailComposeMessage(MAILCOMPOSEFIELDS* pFields);

#ifdef __cplusplus
}
#endif
