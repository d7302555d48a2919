#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace ornavel::platform {

// A channel of a pixel laid over white by its alpha (0 clear, 255 opaque), rounded to the nearest
// value: how a desktop, which has no transparency, shows a translucent picture. The wallpaper file
// is written with it on both platforms, and so are a bitmap's pixels as the BMP reader gives them
// and the Windows preview's pixels; the Linux preview draws any other translucent picture over the
// window's own background.
constexpr std::uint8_t OnWhite(unsigned channel, unsigned alpha) {
    return static_cast<std::uint8_t>((channel * alpha + 255 * (255 - alpha) + 127) / 255);
}

// The wallpaper file: a Windows bitmap of 24 bits a pixel, rows bottom-up and padded to 4 bytes,
// 96 dots per inch, any transparency laid over white. The pixels are asked for one row at a time
// and the bytes handed on in blocks, so no second copy of a large picture is made.
class BitmapFile {
  public:
    // The pixels of row `y` (0 is the top): width x 4 bytes, blue, green, red and alpha, not
    // premultiplied. They need to stay valid only until the next call.
    using RowSource = std::function<const std::uint8_t*(int y)>;
    // Writes all `size` bytes at the end of the file, or throws platform::Error with the reason.
    using ByteSink = std::function<void(const std::uint8_t* data, std::size_t size)>;

    // The bytes reach the sink in blocks of this size (page-aligned writes), the last one shorter.
    static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

    // Throws platform::Error when the picture is empty or too large for the format, before
    // anything is written.
    BitmapFile(int width, int height);

    // The size of the whole file.
    std::uint64_t FileBytes() const { return kHeaderBytes + rowBytes_ * height_; }

    // Writes the file: its header, then every row from the bottom up. An error of `rows` or
    // `sink` ends the writing and is passed on.
    void Write(const RowSource& rows, const ByteSink& sink) const;

  private:
    static constexpr std::uint32_t kHeaderBytes = 54;
    std::uint32_t width_, height_;
    std::uint64_t rowBytes_;
};

}  // namespace ornavel::platform
