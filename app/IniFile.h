// Initialisation files with the Windows behaviour the program's files were
// written for: section and key names compare case-insensitively, a missing
// file or key reads as the default, writing a key keeps every other line in
// its place and creates the file when missing. The file is code page 1251;
// names and values are UTF-8 in the program.
#pragma once
#include <string>
#include <vector>

class TIniFile {
public:
    explicit TIniFile(std::string path);

    const std::string& FileName() const { return path_; }

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // The value as a decimal integer (optional sign); anything else gives def.
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    bool ValueExists(const std::string& section, const std::string& key) const;

    // Writes the key and saves the file at once. False (with LastError set)
    // when the file cannot be written; the file on disk is then unchanged.
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool WriteInteger(const std::string& section, const std::string& key, int value);

    const std::string& LastError() const { return error_; }

private:
    bool FindKey(const std::string& section, const std::string& key, std::size_t& index, std::string& value) const;
    bool Save();

    std::string path_;
    std::vector<std::string> lines_;
    std::string error_;
};

// Parses a decimal integer the way the settings readers do; false when the
// text is not one (surrounding blanks allowed).
bool TryParseInt(const std::string& text, long long& value);
