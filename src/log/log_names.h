// The names from which the session log file's name and header are made.
#pragma once

#include <cstddef>

namespace velm::log {

// The application and customer names take the setter's text and "_", the
// product name the text alone, all in fields of kNameSize bytes.
constexpr std::size_t kNameSize = 112;
constexpr int kPartNameWidth = 110;
constexpr int kProdNameWidth = 111;
constexpr char kDefaultApplName[] = "veserver_";
constexpr char kDefaultCustName[] = "VELM_";
constexpr char kDefaultProdName[] = "VE Quillan-Mor Kest";

// One name field, constant-initialised from its default.
struct NameField {
    char text[kNameSize];
};
constexpr NameField name_field(const char* name) {
    NameField field{};
    for (std::size_t i = 0; name[i] != '\0' && i + 1 < kNameSize; ++i) field.text[i] = name[i];
    return field;
}

}  // namespace velm::log
