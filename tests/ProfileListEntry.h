// A list entry for a stored profile, appended to the profile list and made
// current the way choosing it does, which loads the profile from the store.
#pragma once
#include "settings/MemTable.h"

#include <string>

inline void ShowStoredProfile(TMemTable& profiles, const std::string& name, const std::string& key) {
    profiles.Append();
    profiles.SetValue("Name", name);
    profiles.SetValue("LN", key);
    profiles.Post();
    const int row = profiles.CurrentRow();
    profiles.First();
    profiles.GoToRow(row);
}
