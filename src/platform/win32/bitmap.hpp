#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/picture.hpp"

namespace ornavel::platform::win32 {

// A decoded picture: its pixels top-down, 4 bytes each (blue, green, red, unused), any
// transparency already laid over white. This is what every control draws from.
class Bitmap final : public Picture {
  public:
    Bitmap(int width, int height, std::vector<std::uint8_t> pixels)
        : width_(width), height_(height), pixels_(std::move(pixels)) {}
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    const std::uint8_t* Pixels() const { return pixels_.data(); }

  private:
    int width_, height_;
    std::vector<std::uint8_t> pixels_;
};

// Makes sure COM is set up on the calling thread (the picture decoder and the shell dialogs
// need it); the program's own thread has it from the start.
void EnsureCom();

// Decodes a picture held in memory (an image resource of the program).
std::shared_ptr<const Bitmap> DecodePicture(const void* data, std::size_t size);

}  // namespace ornavel::platform::win32
