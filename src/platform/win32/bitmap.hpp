#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/picture.hpp"

namespace ornavel::platform::win32 {

// A decoded picture: pixels top-down, 4 bytes each (blue, green, red, and alpha, always 255), any
// transparency already laid over white with OnWhite, as the wallpaper file is. A picture read from
// a file keeps the file's bytes and holds its pixels only as large as the controls show them; the
// whole picture is decoded from those bytes when it is saved. This is what every control draws
// from, stretched.
class Bitmap final : public Picture {
  public:
    // A picture held whole.
    Bitmap(int width, int height, std::vector<std::uint8_t> pixels)
        : width_(width),
          height_(height),
          shownWidth_(width),
          shownHeight_(height),
          pixels_(std::move(pixels)) {}
    // A picture file's bytes, the picture's own size, and its pixels decoded at the shown size.
    Bitmap(std::shared_ptr<const std::string> bytes, int width, int height, int shownWidth,
           int shownHeight, std::vector<std::uint8_t> pixels)
        : bytes_(std::move(bytes)),
          width_(width),
          height_(height),
          shownWidth_(shownWidth),
          shownHeight_(shownHeight),
          pixels_(std::move(pixels)) {}
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    int ShownWidth() const { return shownWidth_; }
    int ShownHeight() const { return shownHeight_; }
    const std::uint8_t* Pixels() const { return pixels_.data(); }
    bool Whole() const { return shownWidth_ == width_ && shownHeight_ == height_; }
    const std::shared_ptr<const std::string>& Bytes() const { return bytes_; }

  private:
    std::shared_ptr<const std::string> bytes_;
    int width_, height_, shownWidth_, shownHeight_;
    std::vector<std::uint8_t> pixels_;
};

// Makes sure COM is set up on the calling thread (the picture decoder and the shell dialogs
// need it); the program's own thread has it from the start.
void EnsureCom();

// Decodes a picture held in memory (an image resource of the program), whole.
std::shared_ptr<const Bitmap> DecodePicture(const void* data, std::size_t size);

}  // namespace ornavel::platform::win32
