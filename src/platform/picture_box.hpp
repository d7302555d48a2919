#pragma once

#include "platform/picture.hpp"

namespace ornavel::platform {

// An image or picture box: a control that shows a picture. Setting the same picture object on two
// controls shows it on both.
class PictureBox {
  public:
    virtual ~PictureBox() = default;
    virtual void SetPicture(PicturePtr picture) = 0;
    virtual PicturePtr Picture() const = 0;
    // The outer size, border included, in the window's pixels.
    virtual float OuterWidth() const = 0;
    virtual float OuterHeight() const = 0;
};

}  // namespace ornavel::platform
