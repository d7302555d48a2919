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

// Loads a BMP, JPEG, GIF or PNG file (and whatever else the platform's loader reads). Throws
// platform::Error with the reason when the file cannot be read or is not a picture.
PicturePtr LoadPicture(const std::string& path);

// Writes `picture` to `path` as a Windows bitmap of its own pixel size. The file is written beside
// the old one and put in its place only when complete, so a failure leaves the old file intact.
// Throws platform::Error with the reason on failure.
void SavePicture(const Picture& picture, const std::string& path);

}  // namespace ornavel::platform
