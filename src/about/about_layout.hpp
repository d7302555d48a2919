#pragma once

#include "platform/layout.hpp"

namespace ornavel {

// The About window: program name, version, developer and three links.
extern const layout::Window kAboutLayout;

// Where the three link labels lead.
extern const char* const kMailTarget;
extern const char* const kSiteTarget;
extern const char* const kForumTarget;

}  // namespace ornavel
