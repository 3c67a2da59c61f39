// The record of the sources a backup's groups came from, kept in the first cabinet's reserve.
#include "cabinet/format/SourceRecord.h"

#include <gtest/gtest.h>

using ostrivane::cabformat::DecodeSourceRecord;
using ostrivane::cabformat::EncodeSourceRecord;
using ostrivane::cabformat::SourceGroup;

namespace {

std::optional<std::vector<SourceGroup>> Decode(const std::string& bytes) {
    return DecodeSourceRecord(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

} // namespace

TEST(SourceRecord, GroupsComeBackWhateverTheirNamesHold) {
    const std::vector<SourceGroup> groups = {{"Dokumenty\\", "/home/me/Dokumenty"},
                                             {"b\\Data\\", "/b/Data"},
                                             {"", "/"},
                                             {"tab\there\\", "/x/tab\there\nand line"}};
    const std::string record = EncodeSourceRecord(groups);
    ASSERT_FALSE(record.empty());
    EXPECT_EQ(Decode(record), groups);
    // The reserve is padded with zeros after the record.
    EXPECT_EQ(Decode(record + std::string(40, '\0')), groups);
}

TEST(SourceRecord, NoRecordIsReadFromOtherBytesAndNoneIsMadeTooLargeForTheHeader) {
    EXPECT_FALSE(Decode(std::string(20, '\0')));
    EXPECT_FALSE(Decode(std::string("OSTRIVANE-SOURCES 1\0"
                                    "3\0a\0/a\0",
                                    27)));
    EXPECT_EQ(EncodeSourceRecord({{"x\\", "/" + std::string(70000, 'x')}}), "");
}
