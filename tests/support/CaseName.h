// Names the cases of a parameterised test after a member of the case record,
// with anything GoogleTest does not take in a name turned into '_'.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace TESTS {

inline std::string SafeCaseName(std::string name)
{
    for (char& c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            c = '_';
    }
    return name;
}

// INSTANTIATE_TEST_SUITE_P(..., TESTS::CaseName()) for records with a `name`,
// TESTS::CaseNameBy<&Case::label>() for another member.
template <auto Member>
struct CaseNameBy {
    template <class Param>
    std::string operator()(const testing::TestParamInfo<Param>& info) const
    {
        return SafeCaseName(std::string(info.param.*Member));
    }
};

struct CaseName {
    template <class Param>
    std::string operator()(const testing::TestParamInfo<Param>& info) const
    {
        return SafeCaseName(std::string(info.param.name));
    }
};

}  // namespace TESTS
