// vornik-cli: the register's settings from a shell.
#include "app/Platform.h"
#include "cli/CliCommand.h"

#include <iostream>

int main(int argc, char** argv) {
    SysUtf8Console();
    const std::vector<std::string> args = SysArguments(argc, argv);
    return RunCli(args, std::cout, std::cerr);
}
