// What the simulated register holds, kept in a JSON file between runs. Each
// part of the register is a section of the file; sections this build does not
// know are kept as they were, so a newer file survives an older simulator.
#pragma once
#include "sim/SimRegister.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

struct TSimIdentity {
    std::string Model = "ЗЕВРИН-101Ф";  // at most 16 characters
    std::string SerialNumber = "001234567890";  // at most 12
    std::string Version = "ver012";  // at most 12; names the model configuration file
    std::uint8_t Mode = 1;  // 0 autonomous, 1 on-line, 2 off-line
};

struct TSimState {
    TSimIdentity Identity;
    int NetNumber = 1;  // 1..98
    TSimRegister Register = TSimRegister::Default();  // settings, goods, journal
    nlohmann::json Other = nlohmann::json::object();  // sections not known here

    nlohmann::json ToJson() const;
    // Fills the state from a document; missing sections and fields keep
    // their defaults. False, with the reason and nothing changed, when a
    // field has the wrong type or does not fit the register.
    bool FromJson(const nlohmann::json& doc, std::string& error);

    // A missing file gives the default register. False with the reason when
    // the file cannot be read or is not a valid state.
    bool Load(const std::string& path, std::string& error);
    // Replaces the file only once the new content is written.
    bool Save(const std::string& path, std::string& error) const;
};
