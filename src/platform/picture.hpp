#pragma once

#include <memory>
#include <string>

namespace ornavel::platform {

// A picture loaded from a file. One object can be shown by several controls at once; it is shared
// through std::shared_ptr and never copied. An empty pointer is the empty picture.
class Picture {
  public:
    virtual ~Picture() = default;
    // The picture's own size in pixels.
    virtual int Width() const = 0;
    virtual int Height() const = 0;
};

using PicturePtr = std::shared_ptr<const Picture>;

// The size a picture is shown at, stretched: pixels at 96 dots per inch, as layouts give them.
// Empty (0 x 0) when the picture is not shown and is wanted whole.
struct ShownSize {
    int width = 0, height = 0;
};

// Loads a BMP, JPEG, GIF or PNG file (and whatever else the platform's loader reads), turned
// upright by a photo's EXIF orientation. The file's bytes are read once and kept with the
// picture; its size comes from its header, and its pixels are decoded only as large as `shown`
// at the scale of the sharpest screen. Bitmaps are read by the program itself, the same on every
// platform. Throws platform::Error with the reason in words when the file is not a plain file, is
// larger than 512 MiB, cannot be read, is cut short or damaged, is a variant of its format the
// program does not show (named), is too large to decode, or is not a picture.
PicturePtr LoadPicture(const std::string& path, ShownSize shown);

// The picture decoded whole, at its own pixel size, from the bytes LoadPicture read (so a file
// changed since changes nothing); `picture` itself when it already is whole. Throws
// platform::Error with the reason when it cannot be decoded.
PicturePtr WholePicture(const PicturePtr& picture);

// Writes `picture`, decoded whole, to `path` as a Windows bitmap of its own pixel size. The file
// is written beside the old one and put in its place only when complete, so a failure leaves the
// old file intact. Throws platform::Error with the reason on failure.
void SavePicture(const Picture& picture, const std::string& path);

}  // namespace ornavel::platform
