#include "lang/U_language.h"

#include "app/Dialog.h"
#include "app/IniFile.h"
#include "app/TextCodec.h"
#include "app/U_filedirwork.h"

namespace {

const char* const kBuiltIn[TLangResStrHandler::Count] = {
    "Старт",
    "Стоп",
    "Зеврин",
    "Конфигуратор",
    "Нет ошибок",
    "команда не определена",
    "команда недоступна в текущем режиме",
    "неверный формат команды или данных",
    "отказ в регистрации - кассы нет в списке разрешенных",
    "отказ в регистрации - база налогов не соответствует",
    "отказ в регистрации - не в том режиме",
    "команда мб выполнена только при закрытой смене",
    "команда мб выполнена только при закрытом чеке!",
    "товар/услуга не найдены (on-line)",
    "нет такого количества (on-line)",
    "данный товар штучный!",
    "Скидки не будет",
    "Запрет скидки с таким значением",
    "ОТКАЗ в оплате по данной карте",
    "ОТКАЗ в оплате по карте - недостаточно денег",
    "Неверный пароль при доступе к режиму",
    "неверный код товара",
    "критическая ошибка в ЭЖ",
    "требуется регистрация на сервере",
    "ФР: ошибка принтера",
    "ФР: переполнение чековых регистров",
    "ФР: недопустимая операция",
    "ФР: требуемый налог не определен",
    "ФР: переполнение ЭЖ",
    "ФР: не хватает наличных",
    "ФР неверный отдел",
    "отклонение запроса, операции",
    "переполнение (памяти, регистра и т.д.)",
    "не верный номер ККМ",
    "TX_ERR",
    "bad CRC",
    "TimeOut",
    "ошибка фискальной памяти",
    "конец данных",
    "user-defined error",
    "Неизвестная ошибка",
    "Небыло необходимых настроек. Созданы образцы настроек",
    "ККМ",
    "Подключение",
    "Отключение",
    "Товар",
    "Услуга",
    "Закрыто",
};

constexpr std::size_t kPiece = 999;  // a longer line continues as the next line

}  // namespace

TLangResStrHandler& LangRes() {
    static TLangResStrHandler table;
    return table;
}

void TLangResStrHandler::SetDefaults() {
    for (int i = 0; i < Count; ++i) Strings[static_cast<std::size_t>(i)] = kBuiltIn[i];
}

std::string TLangResStrHandler::LangDir() const { return JoinPath(DataDir(), "lang"); }

std::string TLangResStrHandler::ListLanguages() const {
    std::string out;
    for (const auto& f : ListFiles(LangDir(), ".lng")) out += f.substr(0, f.size() - 4) + "\r\n";
    return out;
}

void TLangResStrHandler::ParseLanguageFile(const std::string& bytes) {
    std::size_t pos = 0;
    int entry = 0;
    while (pos < bytes.size() && entry < Count) {
        // One line: up to LF, at most kPiece bytes.
        std::size_t end = pos;
        while (end < bytes.size() && bytes[end] != '\n' && end - pos < kPiece) ++end;
        std::string line = bytes.substr(pos, end - pos);
        pos = (end < bytes.size() && bytes[end] == '\n') ? end + 1 : end;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto semi = line.find(';');
        if (semi != std::string::npos) line.resize(semi);
        Strings[static_cast<std::size_t>(entry++)] = Cp1251ToUtf8(line);
    }
}

int TLangResStrHandler::LoadLanguage(const std::string& name) {
    std::string bytes;
    const std::string path = JoinPath(LangDir(), name + ".lng");
    if (!FileExists(path) || !ReadFileBytes(path, bytes)) return 1;
    ParseLanguageFile(bytes);
    return 0;
}

std::string TLangResStrHandler::RecordedLanguage() const {
    const std::string own = TIniFile(JoinPath(CurrentDir(), "lang.ini")).ReadString("MAIN", "CurLang", "");
    if (!own.empty()) return own;
    return TIniFile(JoinPath(LangDir(), "lang.ini")).ReadString("MAIN", "CurLang", "");
}

bool TLangResStrHandler::SelectLanguage(const std::string& name) {
    TIniFile shared(JoinPath(LangDir(), "lang.ini"));
    bool kept = shared.WriteString("MAIN", "CurLang", name);
    if (!kept) {
        TIniFile own(JoinPath(CurrentDir(), "lang.ini"));
        kept = own.WriteString("MAIN", "CurLang", name);
        if (!kept) Error(shared.LastError() + "; " + own.LastError(), true, true, true);
    }
    if (name == BuiltInLanguage) SetDefaults();
    LoadLanguage(name);
    return kept;
}
