#pragma once

#include <string>

namespace ornavel::platform {

// A list of texts in the order they were appended. Its click event fires on every change of the
// selection, by mouse or keyboard. An entry's text is kept as given (on Linux the bytes of a file
// name) and shown in a readable form.
class ListBox {
  public:
    virtual ~ListBox() = default;
    virtual void Clear() = 0;
    virtual void Append(const std::string& text) = 0;
    // The text of the selected entry, "" when none is selected.
    virtual std::string SelectedText() const = 0;
    virtual int Count() const = 0;
};

}  // namespace ornavel::platform
