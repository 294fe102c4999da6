// awardsync-mark: marks the credits of a records file in an ADI log. The work and every message
// live in the library; this only hands over the command line.
#include "marking.h"

#include <iostream>

int main(int argc, char** argv) {
    return awardsync::mark::runMarkCommand(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
