// Loading libcabinet.so at run time, and the substitutes when it is missing.
#include "cabinet/component/CabinetLibrary.h"
#include "tests/support/Scratch.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

using testsupport::Scratch;
using testsupport::WriteFile;

const std::string kBuiltLibrary = std::string(OSTRIVANE_BUILD_DIR) + "/libcabinet.so";

// Leaves the binding as the other tests expect it: the real library loaded.
class CabinetLibraryTest : public ::testing::Test {
protected:
    void TearDown() override { LoadCabinetLibrary(kBuiltLibrary); }
};

} // namespace

TEST_F(CabinetLibraryTest, MissingLibraryInstallsSubstitutes) {
    Scratch folder;
    EXPECT_FALSE(LoadCabinetLibrary(folder / "libcabinet.so"));
    EXPECT_FALSE(CabinetLoaded());
    EXPECT_FALSE(CabinetLoadError().empty());
    const TCabinetEntryPoints& fci = CabinetEntryPoints();
    ERF erf{};
    CCAB ccab{};
    EXPECT_EQ(fci.FCICreate(&erf, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, &ccab, nullptr),
              nullptr);
    EXPECT_TRUE(fci.FCIAddFile(nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr, 1));
    EXPECT_TRUE(fci.FCIFlushCabinet(nullptr, 0, nullptr, nullptr));
    EXPECT_TRUE(fci.FCIFlushFolder(nullptr, nullptr, nullptr));
    EXPECT_TRUE(fci.FCIDestroy(nullptr));
}

TEST_F(CabinetLibraryTest, FileThatIsNoLibraryIsRefused) {
    Scratch folder;
    WriteFile(folder / "libcabinet.so", "not an ELF file");
    EXPECT_FALSE(LoadCabinetLibrary(folder / "libcabinet.so"));
    EXPECT_FALSE(CabinetLoaded());
}

TEST_F(CabinetLibraryTest, BuiltLibraryBindsAllEntryPoints) {
    Scratch folder;
    LoadCabinetLibrary(folder / "missing.so");
    const TCabinetEntryPoints substitutes = CabinetEntryPoints();
    ASSERT_TRUE(LoadCabinetLibrary(kBuiltLibrary)) << CabinetLoadError();
    EXPECT_TRUE(CabinetLoaded());
    EXPECT_TRUE(CabinetLoadError().empty());
    const TCabinetEntryPoints& fci = CabinetEntryPoints();
    const void* bound[] = {reinterpret_cast<const void*>(fci.FCICreate),
                           reinterpret_cast<const void*>(fci.FCIAddFile),
                           reinterpret_cast<const void*>(fci.FCIFlushCabinet),
                           reinterpret_cast<const void*>(fci.FCIFlushFolder),
                           reinterpret_cast<const void*>(fci.FCIDestroy)};
    const void* substituted[] = {reinterpret_cast<const void*>(substitutes.FCICreate),
                                 reinterpret_cast<const void*>(substitutes.FCIAddFile),
                                 reinterpret_cast<const void*>(substitutes.FCIFlushCabinet),
                                 reinterpret_cast<const void*>(substitutes.FCIFlushFolder),
                                 reinterpret_cast<const void*>(substitutes.FCIDestroy)};
    for (int i = 0; i < 5; ++i) {
        EXPECT_NE(bound[i], substituted[i]) << i;
        Dl_info info{};
        ASSERT_NE(::dladdr(bound[i], &info), 0) << i;
        EXPECT_TRUE(std::string(info.dli_fname).ends_with("/libcabinet.so")) << info.dli_fname;
    }
    UnloadCabinetLibrary();
    EXPECT_FALSE(CabinetLoaded());
    EXPECT_EQ(CabinetEntryPoints().FCICreate, substitutes.FCICreate);
}
