// Where the files the program changes live: beside the program, or per user once installed.
#pragma once

#include <string>

namespace platform {

// A program directory holding this file was installed: its files are per user even for a
// user who could write there (root, for one), so that the installed defaults stay as shipped.
inline constexpr const char* kPerUserMarker = ".per-user-files";

// True when the files the program changes live per user: the program directory is not
// writable by this user, or holds kPerUserMarker.
bool FilesArePerUser(const std::string& programDirectory);

// This user's folder for settings ($XDG_CONFIG_HOME/satview) and for state the program keeps
// by itself ($XDG_STATE_HOME/satview). A relative or empty XDG variable counts as unset: the
// home folder's .config and .local/state are taken, the home folder from $HOME, else from the
// user database.
std::string UserSettingsDirectory();
std::string UserStateDirectory();
// This user's folder for documents the program makes ($XDG_DATA_HOME/satview, else the home
// folder's .local/share/satview), as the two above.
std::string UserDataDirectory();

// Where to read and write `relative`, a file or folder the program changes below
// `programDirectory` ("config/ConfigFile.xml", "Runinfo.ini", "Log"). Letter case is matched
// as ResolveNoCase does.
// - Files beside the program: `relative` below `programDirectory`, as it always was.
// - Files per user: below UserStateDirectory() for the plug-in list plugins.xml, userdata/,
//   the plug-ins' manuals below plugins/ and Log/; below UserSettingsDirectory() for the
//   rest. On first use, the installed file of that name is copied there (its folders are
//   created); a copy already there is never replaced. An installed folder is created empty.
//   A copy is its user's to write, even of a read-only installed file; a copy an earlier
//   version left read-only is given its owner's write permission back.
std::string UserFilePath(const std::string& programDirectory, const std::string& relative);

// Removes the temporary files that writes killed mid-way left beside the files the program
// writes (RemoveLeftoverTempFiles in the folders UserFilePath gives for them). Call it only
// while this instance is the one running. The number removed.
int RemoveLeftoverSaves(const std::string& programDirectory);

// The program directory a file the program reads belongs to: the file's folder, except for a
// file below this user's settings or state folder (an installed program's per-user plugins.xml),
// which belongs to the running program's directory.
std::string ProgramDirectoryOf(const std::string& path);

}  // namespace platform
