#include "app/QtTranslation.h"

#include "lang/U_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// Language names of the selector, as locales of Qt's translation files.
const char* LocaleOf(const std::string& language) {
    if (language == BuiltInLanguage) return "ru";
    if (language == "English") return "en";
    if (language == "Deutsch") return "de";
    return nullptr;
}

}  // namespace

bool UseQtTranslation(const std::string& language) {
    static QTranslator* installed = nullptr;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    const char* locale = LocaleOf(language);
    if (!locale) return true;
    auto* t = new QTranslator;
    if (!t->load(QString("qt_") + locale, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return std::string(locale) == "en";  // Qt's texts are English already
    }
    QCoreApplication::installTranslator(t);
    installed = t;
    return true;
}
