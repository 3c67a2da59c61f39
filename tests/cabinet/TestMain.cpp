// The suite binds the built libcabinet.so at start, as the program does beside its executable.
#include "cabinet/component/CabinetLibrary.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    LoadCabinetLibrary(std::string(OSTRIVANE_BUILD_DIR) + "/libcabinet.so");
    return RUN_ALL_TESTS();
}
