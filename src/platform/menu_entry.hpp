#pragma once

namespace ornavel::platform {

// An entry of a window's menu bar. A disabled entry raises no click.
class MenuEntry {
  public:
    virtual ~MenuEntry() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
};

}  // namespace ornavel::platform
