// Reaching the maker: a mail to support, a mail recommending the program, and the
// update page. The program composes nothing itself; the platform's mail editor and web
// browser do the rest.
#pragma once
#include <windows.h>

// The maker's support mailbox, as a display name and an address.
extern const WCHAR kSupportMailbox[];
// printf format of the update page's address: identifier, then version text.
extern const WCHAR kUpdateAddressFormat[];

// Opens the platform's mail editor on a new mail with the recipient (null: none), the
// subject and the body (null: none) filled in, from the "ActiveSync" account. Returns
// the mail service's result, or E_FAIL when the phone has none.
HRESULT ComposeMail(LPCWSTR recipient, LPCWSTR subject, LPCWSTR body);

// A mail to the support mailbox with the subject and no body.
HRESULT SendSupportMail(LPCWSTR subject);

// A mail with no recipient, for the user to send to someone who might like the program.
HRESULT SendRecommendationMail(LPCWSTR subject, LPCWSTR body);

// Opens the update page in the web browser and, once the browser has started, closes
// the main window. E_FAIL when the browser could not be started; the program stays.
HRESULT CheckForUpdate();
