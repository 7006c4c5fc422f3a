#include "cli/Cli.h"

#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // "receipt" writes printer bytes to standard output: a text-mode stream there would turn
    // each 0x0A into 0x0D 0x0A.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    return cli::Run(argc, argv, std::cout, std::cerr);
}
