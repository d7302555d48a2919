#pragma once

#include <string>

namespace ornavel::platform {

class Label {
  public:
    virtual ~Label() = default;
    // The text is shown exactly as given.
    virtual void SetCaption(const std::string& caption) = 0;
    virtual std::string Caption() const = 0;
};

}  // namespace ornavel::platform
