#include "sim/SimState.h"

#include "app/TextCodec.h"
#include "app/U_filedirwork.h"

namespace {

using nlohmann::json;

bool ReadText(const json& section, const char* key, std::size_t width, std::string& out, std::string& error,
              const std::string& where) {
    if (!section.contains(key)) return true;
    const json& v = section[key];
    if (!v.is_string()) {
        error = where + "." + key + ": a text is expected";
        return false;
    }
    const std::string text = v.get<std::string>();
    if (Cp1251Length(text) > width) {
        error = where + "." + key + ": at most " + std::to_string(width) + " characters";
        return false;
    }
    out = text;
    return true;
}

bool ReadInt(const json& section, const char* key, int lo, int hi, int& out, std::string& error,
             const std::string& where) {
    if (!section.contains(key)) return true;
    const json& v = section[key];
    if (!v.is_number_integer() || v.get<long long>() < lo || v.get<long long>() > hi) {
        error = where + "." + key + ": a whole number " + std::to_string(lo) + ".." + std::to_string(hi) +
                " is expected";
        return false;
    }
    out = v.get<int>();
    return true;
}

bool Section(const json& doc, const char* name, const json*& out, std::string& error) {
    out = nullptr;
    if (!doc.contains(name)) return true;
    if (!doc[name].is_object()) {
        error = std::string(name) + ": an object is expected";
        return false;
    }
    out = &doc[name];
    return true;
}

}  // namespace

json TSimState::ToJson() const {
    json doc = Other;
    doc["identity"] = {{"model", Identity.Model},
                       {"serialNumber", Identity.SerialNumber},
                       {"version", Identity.Version},
                       {"mode", Identity.Mode}};
    doc["link"] = {{"netNumber", NetNumber}};
    Register.ToJson(doc);
    return doc;
}

bool TSimState::FromJson(const json& doc, std::string& error) {
    if (!doc.is_object()) {
        error = "the state must be a JSON object";
        return false;
    }
    TSimState next;  // filled completely before anything changes
    const json* identity = nullptr;
    const json* link = nullptr;
    if (!Section(doc, "identity", identity, error) || !Section(doc, "link", link, error)) return false;
    if (identity) {
        int mode = next.Identity.Mode;
        if (!ReadText(*identity, "model", 16, next.Identity.Model, error, "identity") ||
            !ReadText(*identity, "serialNumber", 12, next.Identity.SerialNumber, error, "identity") ||
            !ReadText(*identity, "version", 12, next.Identity.Version, error, "identity") ||
            !ReadInt(*identity, "mode", 0, 2, mode, error, "identity"))
            return false;
        next.Identity.Mode = static_cast<std::uint8_t>(mode);
    }
    if (link && !ReadInt(*link, "netNumber", 1, 98, next.NetNumber, error, "link")) return false;
    if (!next.Register.FromJson(doc, error)) return false;
    next.Other = doc;
    next.Other.erase("identity");
    next.Other.erase("link");
    for (const auto& name : TSimRegister::SectionNames()) next.Other.erase(name);
    *this = std::move(next);
    return true;
}

bool TSimState::Load(const std::string& path, std::string& error) {
    if (!FileExists(path)) {
        *this = TSimState{};
        return true;
    }
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
        error = path + ": cannot be read";
        return false;
    }
    json doc;
    try {
        doc = json::parse(bytes);
    } catch (const json::parse_error& e) {
        error = path + ": " + e.what();
        return false;
    }
    if (!FromJson(doc, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool TSimState::Save(const std::string& path, std::string& error) const {
    std::string why;
    if (!WriteFileAtomic(path, ToJson().dump(2) + "\n", &why)) {
        error = path + ": " + why;
        return false;
    }
    return true;
}
