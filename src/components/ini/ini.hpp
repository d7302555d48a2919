#pragma once

#include <cstdint>
#include <string>

namespace ornavel {

// The settings component: reads and writes named values in an INI file through the system's
// private-profile functions. It keeps nothing but the file's path; every call goes to the file.
class INI {
  public:
    // The face shown where the component is placed on a window; the component always takes its
    // size.
    static constexpr int kFaceWidth = 32;
    static constexpr int kFaceHeight = 32;

    // The stored text under KeyName in Section; "" when the file, section or key is missing or the
    // value is empty. At most 254 characters.
    std::string RINI(const std::string& Section, const std::string& KeyName) const;
    void WInI(const std::string& Section, const std::string& KeyName,
              const std::string& KeyValue) const;

    // The settings file's path, stored unchanged. An empty path reads nothing and writes nothing.
    void FileName(const std::string& FName);
    std::string FileName() const;

    // True exactly when the stored text is "True".
    bool RINIb(const std::string& Section, const std::string& KeyName) const;
    // Writes "True" or "False".
    void WInIb(const std::string& Section, const std::string& KeyName, const bool& KeyValue) const;

    // The stored text read as a number and rounded half to even; 0 when nothing is stored.
    // Throws OverflowError when the value does not fit 16 bits.
    std::int16_t RINIi(const std::string& Section, const std::string& KeyName) const;
    // Writes the integer in decimal: 0, 42, -32768.
    void WInIi(const std::string& Section, const std::string& KeyName,
               const std::int16_t& KeyValue) const;

  private:
    std::string fileName_;
};

}  // namespace ornavel
