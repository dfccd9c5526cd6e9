// qel: the command-line tool of QelVeva.
#include "cli/QelTool.h"

#include <csignal>
#include <iostream>

int main(int argc, char** argv) {
    // A CNC that drops the connection must give an error line, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return qel::runQel(args, std::cout, std::cerr);
}
