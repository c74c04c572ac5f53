// Qt's own texts (file dialogs, Yes/No/Cancel) in the interface language.
#pragma once
#include <string>

// Installs Qt's translation for the language the selector names (Русский,
// English, Deutsch); a language Qt has no translation for leaves Qt's
// English texts. False when the translation file is not installed.
bool UseQtTranslation(const std::string& language);
