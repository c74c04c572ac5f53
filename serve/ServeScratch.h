// Where the service keeps goods files for a moment: a folder of its own that
// only its user may enter, made fresh at the start and removed at the stop,
// and files in it made exclusively and removed when their last user lets go.
#pragma once
#include <string>

class TScratchFolder {
public:
    TScratchFolder() = default;
    ~TScratchFolder();  // removes the folder and what is left in it
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    // In the system's folder for temporary files, only its user may enter;
    // false with the reason.
    bool Make(std::string& error);
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

class TScratchFile {
public:
    TScratchFile() = default;
    ~TScratchFile();  // removes the file
    TScratchFile(const TScratchFile&) = delete;
    TScratchFile& operator=(const TScratchFile&) = delete;

    // A new file (only its user may read it, never one already there) in
    // folder, with the bytes.
    bool Create(const std::string& folder, const std::string& extension, const std::string& bytes);
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};
