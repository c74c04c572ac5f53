// Receipt text of journal source lines: each operation's line becomes its
// part of a receipt, with the separator before a receipt's first operation,
// the annulment mark, the payment with cash and change, and the close line.
#pragma once
#include <string>
#include <string_view>

// Receipt text of one source line (possibly several lines joined by CR LF,
// without a final line end). A line whose fields cannot be read as the
// operation needs comes back as itself followed by " - ошибка!", and the error
// "ошибка декодирования операций чека" goes to console and log for it (no box:
// a damaged journal would need a click per line).
std::string MagOperToText(std::string_view line);
// Appends MagOperToText(line) to out; false when the line could not be decoded.
bool AppendMagOperText(std::string& out, std::string_view line);
// The one error box (with console and log) after rendering many lines, naming
// how many could not be decoded; nothing for none.
void ReportUndecodedLines(int count);

// "Продажа", "Возврат ", "Внесено ", "Выплата " for kinds 1..4, else "unknown".
std::string CheckKindName(int kind);

// Receipt text of source lines (ended by CR LF or LF); each operation's text
// ends with CR LF. Empty lines are skipped.
std::string MagazineSourceToText(std::string_view source);
