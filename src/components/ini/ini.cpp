#include "components/ini/ini.hpp"

#include <string>

#include "components/ini/number.hpp"
#include "platform/profile.hpp"

namespace ornavel {
namespace {

// Room for 254 characters and the terminating NUL, as the system's call is given.
constexpr std::size_t kBufferSize = 255;

}  // namespace

std::string INI::RINI(const std::string& Section, const std::string& KeyName) const {
    if (fileName_.empty()) return "";
    return platform::ReadPrivateProfile(Section, KeyName, "", kBufferSize, fileName_);
}

void INI::WInI(const std::string& Section, const std::string& KeyName,
               const std::string& KeyValue) const {
    if (fileName_.empty()) return;
    platform::WritePrivateProfile(Section, KeyName, KeyValue, fileName_);
}

void INI::FileName(const std::string& FName) { fileName_ = FName; }

std::string INI::FileName() const { return fileName_; }

bool INI::RINIb(const std::string& Section, const std::string& KeyName) const {
    return RINI(Section, KeyName) == "True";
}

void INI::WInIb(const std::string& Section, const std::string& KeyName,
                const bool& KeyValue) const {
    WInI(Section, KeyName, KeyValue ? "True" : "False");
}

std::int16_t INI::RINIi(const std::string& Section, const std::string& KeyName) const {
    return RoundToInt16(ReadNumber(RINI(Section, KeyName)));
}

void INI::WInIi(const std::string& Section, const std::string& KeyName,
                const std::int16_t& KeyValue) const {
    WInI(Section, KeyName, std::to_string(KeyValue));
}

}  // namespace ornavel
