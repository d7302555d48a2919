#include "app/program.hpp"

int main(int argc, char** argv) { return ornavel::RunOrnavel(argc, argv); }
