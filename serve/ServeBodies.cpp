#include "serve/ServeBodies.h"

#include "ops/OpsText.h"
#include "kkm/KKMCommands.h"
#include "link/Comport.h"

#include <initializer_list>

using nlohmann::json;

bool ParseSearchBody(const std::string& body, TOpsOptions& options, TBodyError& error) {
    json doc;
    if (!ParseJsonObject(body, doc, error, true) || !OnlyKnownFields(doc, {"ports", "allNets", "speed", "net"}, "", error))
        return false;
    if (doc.contains("ports")) {
        if (!doc["ports"].is_array()) return InputFail(error, "ports", "ports is an array of port numbers 1..256");
        options.Ports.clear();
        for (std::size_t i = 0; i < doc["ports"].size(); ++i) {
            long long n = 0;
            if (!JsonWholeIn(doc["ports"][i], 1, 256, n))
                return InputFail(error, "ports[" + std::to_string(i) + "]", "a port number is 1..256");
            options.Ports += (options.Ports.empty() ? "" : ",") + std::to_string(n);
        }
    }
    if (doc.contains("allNets")) {
        if (!doc["allNets"].is_boolean()) return InputFail(error, "allNets", "allNets is true or false");
        options.AllNets = doc["allNets"].get<bool>();
    }
    long long v = 0;
    if (doc.contains("speed")) {
        if (!JsonWholeIn(doc["speed"], 1, 10000000, v) || !IsValidSpeed(static_cast<int>(v)))
            return InputFail(error, "speed", "not a line speed");
        options.Speed = static_cast<int>(v);
    }
    if (doc.contains("net")) {
        if (!JsonWholeIn(doc["net"], 1, 98, v)) return InputFail(error, "net", "a network number is 1..98");
        options.Net = static_cast<int>(v);
    }
    return true;
}

bool ParseProfileBody(const std::string& body, bool allowSaved, std::string& name, bool& saved, TBodyError& error) {
    json doc;
    if (!ParseJsonObject(body, doc, error)) return false;
    if (allowSaved ? !OnlyKnownFields(doc, {"name", "saved"}, "", error) : !OnlyKnownFields(doc, {"name"}, "", error)) return false;
    saved = false;
    if (doc.contains("saved")) {
        if (!doc["saved"].is_boolean()) return InputFail(error, "saved", "saved is true or false");
        saved = doc["saved"].get<bool>();
    }
    if (!JsonText(doc, "name", name)) return InputFail(error, "name", "the name is a string");
    if (!saved && name.find_first_not_of(' ') == std::string::npos) return InputFail(error, "name", "a name is needed");
    return true;
}
