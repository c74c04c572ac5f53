// Texts of the register's answer codes and of the combined link/result codes.
#include "lang/U_language.h"
#include "link/U_protocolkkm.h"

namespace {

// Fixed texts: they do not follow the language table.
const char* const kAnswerTexts[] = {
    "Нет ошибок",
    "Команда не определена",
    "Команда недоступна в текущем режиме",
    "Неверный формат команды или данных",
    "Отказано в регистрации-кассы нет в списке разрешенных",
    "Отказано в регистрации-базы налогов не соответствует",
    "Отказано в регистрации-не верный режим работы ККМ",
    "Команда может быть выполнена только при закрытой смене",
    "Команда может быть выполнена только при закрытом чеке",
    "Товар/услуга не найдены",
    "Нет такого количества",
    "Кол-во данного товара может быть только штучным",
    "Скидка не возможна",
    "Неверное значение скидки",
    "Отказано в оплате по данной карте",
    "На карте недостаточно денег",
    "Неверный пароль при доступе к режим",
    "Неверный код товара/услуги",
    "Критическая ошибка в ЭЖ",
    "Требуется регистрация на сервере",
};
constexpr int kAnswerTextCount = static_cast<int>(sizeof kAnswerTexts / sizeof kAnswerTexts[0]);

}  // namespace

std::string AnswerErrorText(int code) {
    if (code >= 0 && code < kAnswerTextCount) return kAnswerTexts[code];
    return "Неизвестная ошибка:" + std::to_string(code);
}

std::string ResultText(int code) {
    if (code >= 0 && code <= 32) return LangStr(code + 4);
    if (code == 90) return LangStr(37);
    if (code == 91) return LangStr(38);
    if (code == 99) return LangStr(39);
    return LangStr(40) + std::to_string(code);
}
