// The Win32 tests' entry. Started with --hold FILE, the program instead plays the other
// process that holds a file open without sharing, until the test lets it go.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "hold_file.h"

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--hold") == 0) return HoldFileWithoutSharing(argv[2]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
