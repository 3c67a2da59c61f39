// The name of a parametrised test case: its parameter's `name` member, for
// INSTANTIATE_TEST_SUITE_P(..., testsupport::ParamName()).
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

struct ParamName {
    template <class Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& info) const {
        return info.param.name;
    }
};

} // namespace testsupport
