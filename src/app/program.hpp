#pragma once

namespace ornavel {

// Runs the program: the main window until it is closed or the user chooses "Выход".
int RunOrnavel(int argc, char** argv);

}  // namespace ornavel
