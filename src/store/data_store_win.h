// Where data.dat lives on Windows and how it reaches the disk: the per-user data folder,
// the program folder, the file-virtualisation store, and the path the system really used.
#pragma once
#include <windows.h>

#include <string>

#include "store/data_store.h"

namespace store {

// The primary screen's size in pixels.
ScreenSize CurrentScreenSize();

// The local (non-roaming) application-data folder, without a trailing backslash; created
// when `create` is set. Empty when the system cannot give it.
std::u16string LocalAppDataFolder(bool create);
// Tests point the local application-data folder elsewhere; empty restores the system's.
void SetLocalAppDataFolderForTests(const std::u16string& folder);

// LocalAppDataFolder + "\Vessaly\", created when missing; empty when unavailable.
std::u16string GetDataFolder();

// Writes the document (ANSI text; a zero byte and the scrambling are added here) to
// `target` atomically, keeping the previous file as the backup. `actualPath` (when given)
// receives where the file really is, which differs from `target` when the system
// redirects writes (file virtualisation); empty when that cannot be told. Nonzero on
// success; on failure the previous file is intact and the reason is logged.
int WriteDataFile(const std::string& text, const std::u16string& target, std::u16string* actualPath);

// Brings a newer copy that file virtualisation left in the VirtualStore back to the
// program-folder copy `programCopy`, then removes it.
void MigrateVirtualStore(const std::u16string& programCopy);

// The path of an open file in drive-letter (or UNC) form; empty when it cannot be told.
std::u16string GetPathFromHandle(HANDLE file);

}  // namespace store
