// Every window's handler table against its layout: each control the front ends raise clicks for
// has exactly one handler, and each handler belongs to such a control.
#include "app/event_table.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "about/about_layout.hpp"
#include "about/about_window.hpp"
#include "app/main_layout.hpp"
#include "app/main_window.hpp"

namespace ornavel {
namespace {

using ::testing::IsEmpty;
using ::testing::UnorderedElementsAreArray;

struct Bound {
    const layout::Window* layout;
    std::vector<std::string> handled;  // the controls the window's table binds, in its order
};

void PrintTo(const Bound& bound, std::ostream* out) { *out << bound.layout->name; }

template <typename Window>
Bound BoundBy(const layout::Window& layout) {
    Bound bound{&layout, {}};
    for (const Handler<Window>& handler : Window::Handlers()) {
        EXPECT_NE(handler.run, nullptr) << handler.control;
        bound.handled.emplace_back(handler.control);
    }
    return bound;
}

std::vector<std::string> ClickableControls(const layout::Window& layout) {
    std::vector<std::string> names;
    for (const layout::Control& control : layout.controls) {
        if (Clickable(control)) names.emplace_back(control.name);
    }
    for (const layout::MenuEntry& entry : layout.menu) {
        if (Clickable(entry)) names.emplace_back(entry.name);
    }
    return names;
}

class HandlerTable : public ::testing::TestWithParam<Bound> {};

TEST_P(HandlerTable, BindsEveryClickableControlOnceAndNothingElse) {
    const Bound& bound = GetParam();
    // Compared as lists, so a control bound twice shows as well as one missing or misspelt.
    EXPECT_THAT(bound.handled, UnorderedElementsAreArray(ClickableControls(*bound.layout)));
    EXPECT_THAT(ClickableControls(*bound.layout), Not(IsEmpty()));
}

INSTANTIATE_TEST_SUITE_P(Windows, HandlerTable,
                         ::testing::Values(BoundBy<Main>(kMainLayout),
                                           BoundBy<About>(kAboutLayout)),
                         [](const auto& info) { return std::string(info.param.layout->name); });

// A click the table does not know runs nothing and is told loudly, not dropped.
TEST(RunBoundHandler, AClickOnAControlWithoutAHandlerIsAProgrammingError) {
    Main main;
    EXPECT_THROW(main.Click("Label1"), std::logic_error);
    EXPECT_THROW(main.Click("command1"), std::logic_error);
    About about;
    EXPECT_THROW(about.Click("Label4"), std::logic_error);
}

}  // namespace
}  // namespace ornavel
