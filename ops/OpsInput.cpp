#include "ops/OpsInput.h"

#include "kkm/KKMCommands.h"
#include "ops/OpsText.h"

using nlohmann::json;

namespace {

// The array under key, each item an object.
bool ItemArray(const json& doc, const char* key, TBodyError& error) {
    if (!doc.contains(key)) return InputFail(error, key, std::string("\"") + key + "\" is missing");
    if (!doc[key].is_array()) return InputFail(error, key, std::string("\"") + key + "\" must be an array");
    for (std::size_t i = 0; i < doc[key].size(); ++i)
        if (!doc[key][i].is_object())
            return InputFail(error, std::string(key) + "[" + std::to_string(i) + "]", "each item must be an object");
    return true;
}

}  // namespace

bool InputFail(TBodyError& error, const std::string& field, const std::string& text) {
    error = {text, field};
    return false;
}

// The body as a JSON object; an empty body only where allowed.
bool ParseJsonObject(const std::string& body, json& doc, TBodyError& error, bool emptyAllowed) {
    if (emptyAllowed && body.find_first_not_of(" \t\r\n") == std::string::npos) {
        doc = json::object();
        return true;
    }
    doc = json::parse(body, nullptr, false);
    if (doc.is_discarded()) return InputFail(error, "body", "the body is not valid JSON");
    if (!doc.is_object()) return InputFail(error, "body", "the body must be a JSON object");
    return true;
}

// Every key of the object is one of the names; else the first other one.
bool OnlyKnownFields(const json& object, std::initializer_list<const char*> names, const std::string& where, TBodyError& error) {
    for (const auto& [key, value] : object.items()) {
        bool known = false;
        for (const char* n : names) known = known || key == n;
        if (!known) return InputFail(error, where + key, "unknown field \"" + key + "\"");
    }
    return true;
}

bool JsonWholeIn(const json& v, long long lo, long long hi, long long& out) {
    if (!v.is_number_integer()) return false;
    out = v.get<long long>();
    return out >= lo && out <= hi;
}

bool JsonText(const json& object, const char* key, std::string& out) {
    if (!object.contains(key)) {
        out.clear();
        return true;
    }
    if (!object[key].is_string()) return false;
    out = object[key].get<std::string>();
    return true;
}

bool ParseOptionsInput(const std::string& body, std::vector<TOptionWant>& wanted, TBodyError& error) {
    json doc;
    if (!ParseJsonObject(body, doc, error) || !OnlyKnownFields(doc, {"options", "count"}, "", error) ||
        !ItemArray(doc, "options", error))
        return false;
    for (std::size_t i = 0; i < doc["options"].size(); ++i) {
        const json& item = doc["options"][i];
        const std::string at = "options[" + std::to_string(i) + "].";
        if (!OnlyKnownFields(item, {"number", "value", "min", "max", "zeroAllowed", "default", "caption", "inRange"}, at, error))
            return false;
        long long n = 0, v = 0;
        if (!item.contains("number") || !JsonWholeIn(item["number"], 1, KKMOptionCount, n))
            return InputFail(error, at + "number", "an option number is a whole number 1..64");
        if (!item.contains("value") || !JsonWholeIn(item["value"], 0, 255, v))
            return InputFail(error, at + "value", "an option value is a whole number 0..255");
        wanted.push_back({static_cast<int>(n), static_cast<int>(v), at + "value"});
    }
    if (wanted.empty()) return InputFail(error, "options", "no options in the body");
    return true;
}

bool ParseDepartmentsInput(const std::string& body, std::vector<TDepartmentWant>& wanted, TBodyError& error) {
    json doc = json::parse(body, nullptr, false);
    if (doc.is_array()) doc = {{"departments", doc}};  // the list departments get prints
    else if (!ParseJsonObject(body, doc, error)) return false;
    if (!OnlyKnownFields(doc, {"departments"}, "", error) || !ItemArray(doc, "departments", error)) return false;
    for (std::size_t i = 0; i < doc["departments"].size(); ++i) {
        const json& item = doc["departments"][i];
        const std::string at = "departments[" + std::to_string(i) + "].";
        if (!OnlyKnownFields(item, {"number", "kind", "status", "name", "taxGroup", "price"}, at, error)) return false;
        TDepartmentWant dep;
        dep.Field = at + "number";
        long long n = 0;
        if (!item.contains("number") || !JsonWholeIn(item["number"], 1, KKMDepCount, n))
            return InputFail(error, at + "number", "a department number is a whole number 1..16");
        dep.Number = static_cast<int>(n);
        std::string kind, name, tax, price;
        if (!JsonText(item, "kind", kind) || !DepartmentKind(kind, dep.Kind))
            return InputFail(error, at + "kind", "the kind must be goods, service or closed");
        if (dep.Kind != DepKindClosed) {
            if (!JsonText(item, "name", name)) return InputFail(error, at + "name", "the name is a string");
            if (!JsonText(item, "taxGroup", tax)) return InputFail(error, at + "taxGroup", "the tax group is a string");
            if (!JsonText(item, "price", price) || !item.contains("price"))
                return InputFail(error, at + "price", "the price is a string of roubles, like \"12.50\"");
            std::string why, part;
            if (!CheckDepartment(name, tax, price, dep, why, part)) return InputFail(error, at + part, why);
        }
        wanted.push_back(dep);
    }
    if (wanted.empty()) return InputFail(error, "departments", "no departments in the body");
    return true;
}

bool ParseLinesInput(const std::string& body, std::map<std::string, TLinesWant>& wanted, TBodyError& error) {
    json doc;
    if (!ParseJsonObject(body, doc, error) || !OnlyKnownFields(doc, {"header", "footer"}, "", error)) return false;
    for (const char* group : {"header", "footer"}) {
        if (!doc.contains(group)) continue;
        const json& g = doc[group];
        const std::string at = std::string(group) + ".";
        if (!g.is_object()) return InputFail(error, group, std::string("\"") + group + "\" must be an object");
        if (!OnlyKnownFields(g, {"font", "fontName", "lines"}, at, error)) return false;
        TLinesWant w;
        w.Field = at + "font";
        long long font = 0;
        if (g.contains("font")) {
            if (!JsonWholeIn(g["font"], 0, 255, font)) return InputFail(error, at + "font", "the font is a whole number");
            w.Font = static_cast<int>(font);
        }
        if (g.contains("lines")) {
            const json& lines = g["lines"];
            if (!lines.is_array() || lines.size() > KKMLineCount)
                return InputFail(error, at + "lines", "lines is an array of at most 6 strings or nulls");
            for (std::size_t i = 0; i < lines.size(); ++i) {
                const std::string field = at + "lines[" + std::to_string(i) + "]";
                if (lines[i].is_null()) continue;
                if (!lines[i].is_string()) return InputFail(error, field, "a line is a string or null");
                std::string why;
                if (!RegisterTextFits(lines[i].get<std::string>(), 32, why)) return InputFail(error, field, "the line " + why);
                w.Lines[static_cast<int>(i) + 1] = lines[i].get<std::string>();
            }
        }
        wanted[group] = w;
    }
    if (wanted.empty()) return InputFail(error, "body", "neither header nor footer in the body");
    return true;
}

