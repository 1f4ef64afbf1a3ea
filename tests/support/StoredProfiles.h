// Profiles put into the registry through the record itself, as a user's earlier
// sessions would have left them.
#pragma once
#include "store/Profile.h"
#include <windows.h>
#include <string>
#include <vector>

// Saves a new profile with the name, mode and contacts; returns its key name.
std::wstring SaveProfile(const wchar_t* name, ScreeningMode mode,
                         const std::vector<DWORD>& contacts = {});

// The profile's contacts in its order.
std::vector<DWORD> Contacts(const Profile& profile);
