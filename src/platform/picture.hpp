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

// Loads a BMP, JPEG, GIF or PNG file (and whatever else the platform's loader reads). The file's
// bytes are read once and kept with the picture; its size comes from its header, and its pixels
// are decoded only as large as the image controls show them. Throws platform::Error with the
// reason when the file is not a plain file, is larger than 512 MiB, cannot be read, is cut short,
// damaged or not a picture.
PicturePtr LoadPicture(const std::string& path);

// The picture decoded whole, at its own pixel size, from the bytes LoadPicture read (so a file
// changed since changes nothing); `picture` itself when it already is whole. Throws
// platform::Error with the reason when it cannot be decoded.
PicturePtr WholePicture(const PicturePtr& picture);

// Writes `picture`, decoded whole, to `path` as a Windows bitmap of its own pixel size. The file
// is written beside the old one and put in its place only when complete, so a failure leaves the
// old file intact. Throws platform::Error with the reason on failure.
void SavePicture(const Picture& picture, const std::string& path);

}  // namespace ornavel::platform
