#include "support/StoredProfiles.h"
#include <gtest/gtest.h>

std::wstring SaveProfile(const wchar_t* name, ScreeningMode mode,
                         const std::vector<DWORD>& contacts) {
    Profile profile;
    EXPECT_EQ(S_OK, profile.SetName(name));
    EXPECT_EQ(S_OK, profile.SetMode(mode));
    for (DWORD oid : contacts)
        EXPECT_EQ(S_OK, profile.AddContact(oid));
    EXPECT_EQ(S_OK, profile.Save());
    return profile.keyName;
}

std::vector<DWORD> Contacts(const Profile& profile) {
    return std::vector<DWORD>(profile.contacts.begin(), profile.contacts.end());
}
