// The suite binds the built libcabinet.so at start, as the program binds the one beside it.
#include "cabinet/component/CabinetLibrary.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const std::string library = std::string(OSTRIVANE_BUILD_DIR) + "/libcabinet.so";
    if (!LoadCabinetLibrary(library)) {
        std::fprintf(stderr, "cannot load %s: %s\n", library.c_str(), CabinetLoadError().c_str());
        return 1;
    }
    return RUN_ALL_TESTS();
}
