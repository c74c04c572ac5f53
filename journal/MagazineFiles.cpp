#include "journal/MagazineFiles.h"

#include "app/Dialog.h"
#include "app/TextCodec.h"
#include "app/U_filedirwork.h"


std::string MagazineFileBytes(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        auto line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        out += Utf8ToCp1251(line);
        out += "\r\n";
        start = end + 1;
    }
    return out;
}

bool SaveMagazineFile(const std::string& path, std::string_view text) {
    std::string why;
    if (!WriteFileAtomic(path, MagazineFileBytes(text), &why)) {
        Error("Не удалось записать файл " + path + ": " + why, true, true, true);
        return false;
    }
    return true;
}
