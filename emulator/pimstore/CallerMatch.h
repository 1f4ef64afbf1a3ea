// Who is calling: the contact whose number matches the ringing number.
#pragma once
#include <windows.h>
#include <string>

struct Caller {
    DWORD oid = 0; // 0: no contact
    std::wstring name;
};

// Looks the number up among the contacts; no match leaves *caller empty and succeeds.
HRESULT FindCaller(const std::wstring& number, Caller* caller);
