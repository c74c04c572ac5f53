// File-system helpers shared by every layer.
#pragma once
#include <string>
#include <vector>

// Creates the directory (one level, no parents) when it does not exist;
// true if it existed or was created.
bool ForceDir(const std::string& path);

// Folder of the running executable, without a trailing slash.
std::string ProgramDir();
// Full path of the running executable.
std::string ProgramPath();
// Current working directory, without a trailing slash.
std::string CurrentDir();

// Folder holding the program's data files (ECR_CFG/, lang/): beside the
// executable when they are there (a build folder), else ../share/vornik-config
// of an installed program. Tests may point it elsewhere.
std::string DataDir();
void SetDataDir(const std::string& dir);

// dir + the system's separator + name (none added after a separator).
std::string JoinPath(const std::string& dir, const std::string& name);
// Folder and name of a path, split at its last separator ("/" here, "\" or
// "/" on Windows); the folder is empty when there is no separator.
std::string PathFolder(const std::string& path);
std::string PathName(const std::string& path);
// Starts at a root: "/" here; "\", "/" or a drive letter and colon on Windows.
bool IsAbsolutePath(const std::string& path);
// dir + "/" + name, or the entry of dir whose name differs from it only in
// the case of Latin letters (files copied from Windows keep theirs); the
// exact name wins, then the first such entry in byte order.
std::string JoinPathAnyCase(const std::string& dir, const std::string& name);
bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
// Names of the files of dir whose names end with suffix (for "*.lng"), in the
// order the file system lists them.
std::vector<std::string> ListFiles(const std::string& dir, const std::string& suffix);
// Writes bytes to path through a new file beside it that replaces the target
// only when everything was written, so a failure never destroys the old file.
// On failure returns false and fills error with the system's text.
bool WriteFileAtomic(const std::string& path, const std::string& bytes, std::string* error = nullptr);
// Whole file as bytes; false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string& bytes);
// Adds bytes at the end of path, creating it; false when it cannot.
bool AppendFileBytes(const std::string& path, const std::string& bytes);
