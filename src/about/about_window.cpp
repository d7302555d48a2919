#include "about/about_window.hpp"

#include <array>

#include "about/about_layout.hpp"
#include "platform/shell.hpp"

namespace ornavel {

void About::Show() {
    window_ = platform::LoadWindow(kAboutLayout, *this);
    window_->ShowModal();
    window_.reset();
}

void About::Click(std::string_view control) { RunBoundHandler(Handlers(), *this, control); }

std::span<const Handler<About>> About::Handlers() {
    static constexpr auto kHandlers = std::to_array<Handler<About>>({
        {"Command1", &About::Command1_Click},
        {"Label3", &About::Label3_Click},
        {"Label6", &About::Label6_Click},
        {"Label8", &About::Label8_Click},
    });
    return kHandlers;
}

void About::Command1_Click() { window_->Unload(); }

void About::Label3_Click() { platform::OpenInShell(kMailTarget); }

void About::Label6_Click() { platform::OpenInShell(kSiteTarget); }

void About::Label8_Click() { platform::OpenInShell(kForumTarget); }

}  // namespace ornavel
