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

// A hidden control bound to a folder: setting the folder rescans it with the pattern. Both front
// ends hold one per file list of a layout.
class FileList {
  public:
    explicit FileList(std::string pattern);
    // Rescans. On failure (throws platform::Error) the list is left empty and bound to `folder`.
    void SetFolder(const std::string& folder);
    const std::string& Folder() const { return folder_; }
    // Every matching file: the count is not limited to 16 bits.
    int Count() const { return static_cast<int>(entries_.size()); }
    // The name at `index`, from 0; "" for an index outside 0 .. Count() - 1, as a file list
    // control's entry beyond its count reads empty.
    std::string Entry(int index) const;

  private:
    std::string pattern_;
    std::string folder_;
    std::vector<std::string> entries_;
};

}  // namespace ornavel::platform
