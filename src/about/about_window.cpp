#include "about/about_window.hpp"

#include "about/about_layout.hpp"
#include "platform/shell.hpp"

namespace ornavel {

void About::Show() {
    window_ = platform::LoadWindow(kAboutLayout, *this);
    window_->ShowModal();
    window_.reset();
}

void About::Click(std::string_view control) {
    if (control == "Command1") {
        Command1_Click();
    } else if (control == "Label3") {
        Label3_Click();
    } else if (control == "Label6") {
        Label6_Click();
    } else if (control == "Label8") {
        Label8_Click();
    }
}

void About::Command1_Click() { window_->Unload(); }

void About::Label3_Click() { platform::OpenInShell(kMailTarget); }

void About::Label6_Click() { platform::OpenInShell(kSiteTarget); }

void About::Label8_Click() { platform::OpenInShell(kForumTarget); }

}  // namespace ornavel
