#pragma once

namespace ornavel::platform {

// A push button. A disabled button raises no click.
class Button {
  public:
    virtual ~Button() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    virtual void SetFocus() = 0;
};

}  // namespace ornavel::platform
