// The table of 48 user-visible texts that a language file can replace.
#pragma once
#include <array>
#include <string>

// The built-in texts as a language the selector offers, so that the operator
// can go back to them.
constexpr const char* BuiltInLanguage = "Русский";

class TLangResStrHandler {
public:
    static constexpr int Count = 48;

    TLangResStrHandler() { SetDefaults(); }

    std::array<std::string, Count> Strings;  // UTF-8

    void SetDefaults();
    // The program's data folder + "/lang".
    std::string LangDir() const;
    // Names of the *.lng files of LangDir without ".lng", each followed by CR LF.
    std::string ListLanguages() const;
    // Reads LangDir/name.lng into the table: 1 when the file does not exist or
    // cannot be opened (table unchanged), 0 otherwise.
    int LoadLanguage(const std::string& name);
    // Records the name as MAIN/CurLang in LangDir/lang.ini or, where that
    // cannot be written (an installed program's data folder), in the working
    // directory's lang.ini; then loads the language (BuiltInLanguage: the
    // built-in texts first) in every case. False, after an error box naming
    // lang.ini, when neither file could be written.
    bool SelectLanguage(const std::string& name);
    // The language SelectLanguage recorded last: the working directory's
    // lang.ini (written where LangDir's cannot be), else LangDir's; empty
    // when neither names one.
    std::string RecordedLanguage() const;
    // Parses the bytes of a language file (code page 1251) into the table.
    void ParseLanguageFile(const std::string& bytes);

    const std::string& operator[](int n) const { return Strings.at(static_cast<std::size_t>(n)); }
};

// The one table of the program.
TLangResStrHandler& LangRes();
// Language string n.
inline const std::string& LangStr(int n) { return LangRes()[n]; }
