#include "app/program.hpp"

#include "app/main_window.hpp"
#include "platform/window.hpp"

namespace ornavel {

int RunOrnavel(int argc, char** argv) {
    return platform::RunProgram(argc, argv, [] {
        auto main = std::make_shared<Main>();
        main->Start();
        return std::shared_ptr<void>(main);
    });
}

}  // namespace ornavel
