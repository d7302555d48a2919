#pragma once

#include <stdexcept>
#include <string>

namespace ornavel::platform {

// A failure of a system operation. what() is a short reason in Russian, UTF-8, ready to be shown
// to the user after the name of what failed ("папка не существует", "нет доступа").
class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The reason text for a C library error number, in Russian.
std::string ReasonFromErrno(int error);

}  // namespace ornavel::platform
