#include "platform/file_list.hpp"

#include <utility>

namespace ornavel::platform {

FileList::FileList(std::string pattern) : pattern_(std::move(pattern)) {}

void FileList::SetFolder(const std::string& folder) {
    folder_ = folder;
    entries_.clear();
    entries_ = ListFiles(folder, pattern_);
}

std::string FileList::Entry(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return {};
    return entries_[static_cast<std::size_t>(index)];
}

}  // namespace ornavel::platform
