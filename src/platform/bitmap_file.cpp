#include "platform/bitmap_file.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/error.hpp"

namespace ornavel::platform {
namespace {

void PutLe(std::uint8_t*& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) *out++ = static_cast<std::uint8_t>(value >> (8 * i));
}

// Gathers bytes into blocks of BitmapFile::kBlockBytes and hands each full one to the sink.
class Blocks {
  public:
    Blocks(const BitmapFile::ByteSink& sink, std::uint64_t total)
        : sink_(sink),
          buffer_(
              static_cast<std::size_t>(std::min<std::uint64_t>(total, BitmapFile::kBlockBytes))) {}
    void Put(const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const std::size_t n = std::min(size, buffer_.size() - filled_);
            std::memcpy(buffer_.data() + filled_, data, n);
            filled_ += n;
            data += n;
            size -= n;
            if (filled_ == buffer_.size()) Flush();
        }
    }
    void Flush() {
        if (filled_ > 0) sink_(buffer_.data(), filled_);
        filled_ = 0;
    }

  private:
    const BitmapFile::ByteSink& sink_;
    std::vector<std::uint8_t> buffer_;
    std::size_t filled_ = 0;
};

}  // namespace

BitmapFile::BitmapFile(int width, int height) {
    if (width <= 0 || height <= 0) throw Error("пустое изображение");
    width_ = static_cast<std::uint32_t>(width);
    height_ = static_cast<std::uint32_t>(height);
    rowBytes_ = (std::uint64_t{width_} * 3 + 3) & ~std::uint64_t{3};
    // The file's size is a 32-bit field of its header.
    if (FileBytes() > 0xFFFFFFFFu) throw Error("изображение слишком велико для BMP");
}

void BitmapFile::Write(const RowSource& rows, const ByteSink& sink) const {
    const auto pixelBytes = static_cast<std::uint32_t>(rowBytes_ * height_);
    std::uint8_t header[kHeaderBytes];
    std::uint8_t* at = header;
    *at++ = 'B';
    *at++ = 'M';
    PutLe(at, kHeaderBytes + pixelBytes, 4);
    PutLe(at, 0, 4);
    PutLe(at, kHeaderBytes, 4);  // where the pixels start
    PutLe(at, 40, 4);            // the size of the information header
    PutLe(at, width_, 4);
    PutLe(at, height_, 4);  // positive: rows run bottom-up
    PutLe(at, 1, 2);        // planes
    PutLe(at, 24, 2);       // bits a pixel
    PutLe(at, 0, 4);        // no compression
    PutLe(at, pixelBytes, 4);
    PutLe(at, 3780, 4);  // 96 dots per inch
    PutLe(at, 3780, 4);
    PutLe(at, 0, 4);  // no palette
    PutLe(at, 0, 4);

    Blocks blocks(sink, FileBytes());
    blocks.Put(header, sizeof header);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes_), 0);
    for (std::uint32_t y = height_; y-- > 0;) {
        const std::uint8_t* in = rows(static_cast<int>(y));
        std::uint8_t* out = row.data();
        for (std::uint32_t x = 0; x < width_; ++x, in += 4, out += 3) {
            const unsigned alpha = in[3];
            if (alpha == 255) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            } else {
                out[0] = OnWhite(in[0], alpha);
                out[1] = OnWhite(in[1], alpha);
                out[2] = OnWhite(in[2], alpha);
            }
        }
        blocks.Put(row.data(), row.size());
    }
    blocks.Flush();
}

}  // namespace ornavel::platform
