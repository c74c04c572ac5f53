#include "serve/ServeScratch.h"

#include "app/Platform.h"
#include "app/U_filedirwork.h"

#include <atomic>

TScratchFolder::~TScratchFolder() {
    if (path_.empty()) return;
    // The service puts only files here.
    for (const std::string& name : SysListDir(path_)) SysRemoveFile(JoinPath(path_, name));
    SysRemoveDir(path_);
}

bool TScratchFolder::Make(std::string& error) {
    if (SysMakePrivateTempDir("vornik-serve-", path_, error)) return true;
    path_.clear();
    return false;
}

TScratchFile::~TScratchFile() {
    if (!path_.empty()) SysRemoveFile(path_);
}

bool TScratchFile::Create(const std::string& folder, const std::string& extension, const std::string& bytes) {
    static std::atomic<long long> counter{0};
    const std::string path = JoinPath(folder, "upload-" + std::to_string(++counter) + extension);
    TSysFile file;
    if (!file.Open(path, TSysFile::TMode::CreatePrivate)) return false;
    path_ = path;
    const bool written = file.WriteAt(0, bytes.data(), bytes.size());
    return file.Close() && written;
}
