#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ornavel::platform {

// The names of the plain files (and links to plain files) in `folder` that match any of the
// semicolon-separated wildcard patterns of `pattern`, compared without regard to case. Windows:
// in the order the system lists them; Linux: in natural order (img2 before img10). The names are
// bare, without the folder. An empty folder text lists nothing. Throws platform::Error with the
// reason when the folder cannot be read.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern);

// A hidden control bound to a folder: setting the folder rescans it with the pattern.
class FileList {
public:
    virtual ~FileList() = default;
    // Rescans. On failure (throws platform::Error) the list is left empty and bound to `folder`.
    virtual void SetFolder(const std::string& folder) = 0;
    virtual std::string Folder() const = 0;
    // Every matching file: the count is not limited to 16 bits.
    virtual int Count() const = 0;
    virtual std::string Entry(int index) const = 0;
};

}  // namespace ornavel::platform
