#include "serve/ServeBodies.h"

#include "cli/CliText.h"
#include "kkm/KKMCommands.h"
#include "link/Comport.h"

#include <initializer_list>

using nlohmann::json;

namespace {

constexpr int ProfileNameWidth = 30;

bool Fail(TBodyError& error, const std::string& field, const std::string& text) {
    error = {text, field};
    return false;
}

// The body as a JSON object; an empty body only where allowed.
bool ParseObject(const std::string& body, json& doc, TBodyError& error, bool emptyAllowed = false) {
    if (emptyAllowed && body.find_first_not_of(" \t\r\n") == std::string::npos) {
        doc = json::object();
        return true;
    }
    doc = json::parse(body, nullptr, false);
    if (doc.is_discarded()) return Fail(error, "body", "the body is not valid JSON");
    if (!doc.is_object()) return Fail(error, "body", "the body must be a JSON object");
    return true;
}

// Every key of the object is one of the names; else the first other one.
bool OnlyKnown(const json& object, std::initializer_list<const char*> names, const std::string& where, TBodyError& error) {
    for (const auto& [key, value] : object.items()) {
        bool known = false;
        for (const char* n : names) known = known || key == n;
        if (!known) return Fail(error, where + key, "unknown field \"" + key + "\"");
    }
    return true;
}

bool WholeIn(const json& v, long long lo, long long hi, long long& out) {
    if (!v.is_number_integer()) return false;
    out = v.get<long long>();
    return out >= lo && out <= hi;
}

bool Text(const json& object, const char* key, std::string& out) {
    if (!object.contains(key)) {
        out.clear();
        return true;
    }
    if (!object[key].is_string()) return false;
    out = object[key].get<std::string>();
    return true;
}

// The array under key, each item an object.
bool ItemArray(const json& doc, const char* key, TBodyError& error) {
    if (!doc.contains(key)) return Fail(error, key, std::string("\"") + key + "\" is missing");
    if (!doc[key].is_array()) return Fail(error, key, std::string("\"") + key + "\" must be an array");
    for (std::size_t i = 0; i < doc[key].size(); ++i)
        if (!doc[key][i].is_object())
            return Fail(error, std::string(key) + "[" + std::to_string(i) + "]", "each item must be an object");
    return true;
}

}  // namespace

bool ParseOptionsBody(const std::string& body, std::vector<TOptionWant>& wanted, TBodyError& error) {
    json doc;
    if (!ParseObject(body, doc, error) || !OnlyKnown(doc, {"options"}, "", error) || !ItemArray(doc, "options", error))
        return false;
    for (std::size_t i = 0; i < doc["options"].size(); ++i) {
        const json& item = doc["options"][i];
        const std::string at = "options[" + std::to_string(i) + "].";
        if (!OnlyKnown(item, {"number", "value"}, at, error)) return false;
        long long n = 0, v = 0;
        if (!item.contains("number") || !WholeIn(item["number"], 1, KKMOptionCount, n))
            return Fail(error, at + "number", "an option number is a whole number 1..64");
        if (!item.contains("value") || !WholeIn(item["value"], 0, 255, v))
            return Fail(error, at + "value", "an option value is a whole number 0..255");
        wanted.push_back({static_cast<int>(n), static_cast<int>(v), at + "value"});
    }
    if (wanted.empty()) return Fail(error, "options", "no options in the body");
    return true;
}

bool ParseDepartmentsBody(const std::string& body, std::vector<TDepartmentWant>& wanted, TBodyError& error) {
    json doc;
    if (!ParseObject(body, doc, error) || !OnlyKnown(doc, {"departments"}, "", error) ||
        !ItemArray(doc, "departments", error))
        return false;
    for (std::size_t i = 0; i < doc["departments"].size(); ++i) {
        const json& item = doc["departments"][i];
        const std::string at = "departments[" + std::to_string(i) + "].";
        if (!OnlyKnown(item, {"number", "kind", "status", "name", "taxGroup", "price"}, at, error)) return false;
        TDepartmentWant dep;
        dep.Field = at + "number";
        long long n = 0;
        if (!item.contains("number") || !WholeIn(item["number"], 1, KKMDepCount, n))
            return Fail(error, at + "number", "a department number is a whole number 1..16");
        dep.Number = static_cast<int>(n);
        std::string kind, name, tax, price;
        if (!Text(item, "kind", kind) || !DepartmentKind(kind, dep.Kind))
            return Fail(error, at + "kind", "the kind must be goods, service or closed");
        if (dep.Kind != DepKindClosed) {
            if (!Text(item, "name", name)) return Fail(error, at + "name", "the name is a string");
            if (!Text(item, "taxGroup", tax)) return Fail(error, at + "taxGroup", "the tax group is a string");
            if (!Text(item, "price", price) || !item.contains("price"))
                return Fail(error, at + "price", "the price is a string of roubles, like \"12.50\"");
            std::string why, part;
            if (!CheckDepartment(name, tax, price, dep, why, part)) return Fail(error, at + part, why);
        }
        wanted.push_back(dep);
    }
    if (wanted.empty()) return Fail(error, "departments", "no departments in the body");
    return true;
}

bool ParseLinesBody(const std::string& body, std::map<std::string, TLinesWant>& wanted, TBodyError& error) {
    json doc;
    if (!ParseObject(body, doc, error) || !OnlyKnown(doc, {"header", "footer"}, "", error)) return false;
    for (const char* group : {"header", "footer"}) {
        if (!doc.contains(group)) continue;
        const json& g = doc[group];
        const std::string at = std::string(group) + ".";
        if (!g.is_object()) return Fail(error, group, std::string("\"") + group + "\" must be an object");
        if (!OnlyKnown(g, {"font", "fontName", "lines"}, at, error)) return false;
        TLinesWant w;
        w.Field = at + "font";
        long long font = 0;
        if (g.contains("font")) {
            if (!WholeIn(g["font"], 0, 255, font)) return Fail(error, at + "font", "the font is a whole number");
            w.Font = static_cast<int>(font);
        }
        if (g.contains("lines")) {
            const json& lines = g["lines"];
            if (!lines.is_array() || lines.size() > KKMLineCount)
                return Fail(error, at + "lines", "lines is an array of at most 6 strings or nulls");
            for (std::size_t i = 0; i < lines.size(); ++i) {
                const std::string field = at + "lines[" + std::to_string(i) + "]";
                if (lines[i].is_null()) continue;
                if (!lines[i].is_string()) return Fail(error, field, "a line is a string or null");
                std::string why;
                if (!RegisterTextFits(lines[i].get<std::string>(), 32, why)) return Fail(error, field, "the line " + why);
                w.Lines[static_cast<int>(i) + 1] = lines[i].get<std::string>();
            }
        }
        wanted[group] = w;
    }
    if (wanted.empty()) return Fail(error, "body", "neither header nor footer in the body");
    return true;
}

bool ParseSearchBody(const std::string& body, TCliOptions& options, TBodyError& error) {
    json doc;
    if (!ParseObject(body, doc, error, true) || !OnlyKnown(doc, {"ports", "allNets", "speed", "net"}, "", error))
        return false;
    if (doc.contains("ports")) {
        if (!doc["ports"].is_array()) return Fail(error, "ports", "ports is an array of port numbers 1..256");
        options.Ports.clear();
        for (std::size_t i = 0; i < doc["ports"].size(); ++i) {
            long long n = 0;
            if (!WholeIn(doc["ports"][i], 1, 256, n))
                return Fail(error, "ports[" + std::to_string(i) + "]", "a port number is 1..256");
            options.Ports += (options.Ports.empty() ? "" : ",") + std::to_string(n);
        }
    }
    if (doc.contains("allNets")) {
        if (!doc["allNets"].is_boolean()) return Fail(error, "allNets", "allNets is true or false");
        options.AllNets = doc["allNets"].get<bool>();
    }
    long long v = 0;
    if (doc.contains("speed")) {
        if (!WholeIn(doc["speed"], 1, 10000000, v) || !IsValidSpeed(static_cast<int>(v)))
            return Fail(error, "speed", "not a line speed");
        options.Speed = static_cast<int>(v);
    }
    if (doc.contains("net")) {
        if (!WholeIn(doc["net"], 1, 98, v)) return Fail(error, "net", "a network number is 1..98");
        options.Net = static_cast<int>(v);
    }
    return true;
}

bool ParseProfileBody(const std::string& body, bool allowSaved, std::string& name, bool& saved, TBodyError& error) {
    json doc;
    if (!ParseObject(body, doc, error)) return false;
    if (allowSaved ? !OnlyKnown(doc, {"name", "saved"}, "", error) : !OnlyKnown(doc, {"name"}, "", error)) return false;
    saved = false;
    if (doc.contains("saved")) {
        if (!doc["saved"].is_boolean()) return Fail(error, "saved", "saved is true or false");
        saved = doc["saved"].get<bool>();
    }
    if (!Text(doc, "name", name)) return Fail(error, "name", "the name is a string");
    if (!saved && name.find_first_not_of(' ') == std::string::npos) return Fail(error, "name", "a name is needed");
    // The store keeps what its NAME field holds (30 characters of code page
    // 1251): a name it would change is refused, not kept changed.
    std::string why;
    if (!saved && !RegisterTextFits(name, ProfileNameWidth, why)) return Fail(error, "name", "the name " + why);
    if (!saved && name.substr(0, name.find_last_not_of(' ') + 1) == "Сохраненная")
        return Fail(error, "name", "\"Сохраненная\" is the name of the register's saved profile, not of a template");
    if (!saved && name.find('\'') != std::string::npos)  // the store looks names up between apostrophes
        return Fail(error, "name", "the name may not hold an apostrophe");
    return true;
}
