#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <ostream>
#include <string>

#include "report/catalogue.hpp"

namespace kelmora {
namespace {

struct VerdictCase {
    std::size_t measured;
    std::size_t reference;
    SizeVerdict expected;
};

// GoogleTest looks for this name to print a parameter.
void PrintTo(const VerdictCase& c, std::ostream* out) {  // NOLINT(readability-identifier-naming)
    *out << c.measured << " against " << c.reference;
}

class VerdictRule : public testing::TestWithParam<VerdictCase> {};

TEST_P(VerdictRule, ComparesMeasuredWithReference) {
    const VerdictCase& c = GetParam();
    const TypeRow row{"               any:\t", c.measured, c.reference};
    EXPECT_EQ(verdictOf(row), c.expected)
        << "measured " << c.measured << ", reference " << c.reference;
}

constexpr std::size_t largest = std::numeric_limits<std::size_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Sizes, VerdictRule,
    testing::Values(VerdictCase{1, 1, SizeVerdict::Ok}, VerdictCase{12, 12, SizeVerdict::Ok},
                    VerdictCase{0, 0, SizeVerdict::Ok},
                    VerdictCase{largest, largest, SizeVerdict::Ok},
                    VerdictCase{8, 12, SizeVerdict::Small}, VerdictCase{0, 1, SizeVerdict::Small},
                    VerdictCase{largest - 1, largest, SizeVerdict::Small},
                    VerdictCase{16, 12, SizeVerdict::High}, VerdictCase{4, 2, SizeVerdict::High},
                    VerdictCase{largest, 0, SizeVerdict::High}),
    [](const testing::TestParamInfo<VerdictCase>& test) {
        return "measured" + std::to_string(test.param.measured) + "reference" +
               std::to_string(test.param.reference);
    });

TEST(VerdictTag, StartsWithTheTabAndCarriesNoLineEnd) {
    EXPECT_EQ(tagOf(SizeVerdict::Ok), "\t[OK]");
    EXPECT_EQ(tagOf(SizeVerdict::Small), "\t[SMALL]");
    EXPECT_EQ(tagOf(SizeVerdict::High), "\t[HIGH]");
}

TEST(LongDoubleReference, TellsTheThreeX87StoragesApart) {
    // 8 bytes: a plain double; 12: x87 on 32-bit x86; 16: x87 or binary128 on 64-bit ABIs.
    const TypeRow& longDouble = catalogue.back();
    EXPECT_EQ(verdictOf({longDouble.label, 8, longDouble.referenceSize}), SizeVerdict::Small);
    EXPECT_EQ(verdictOf({longDouble.label, 12, longDouble.referenceSize}), SizeVerdict::Ok);
    EXPECT_EQ(verdictOf({longDouble.label, 16, longDouble.referenceSize}), SizeVerdict::High);
}

TEST(AlignedLabel, RejectsLabelsThatWouldShiftTheSizeColumn) {
    EXPECT_TRUE(isAlignedLabel("unsigned short int:\t"));
    EXPECT_TRUE(isAlignedLabel("              char:\t"));
    EXPECT_FALSE(isAlignedLabel("             char:\t"));    // 19 characters
    EXPECT_FALSE(isAlignedLabel("               char:\t"));  // 21 characters
    EXPECT_FALSE(isAlignedLabel("              char: "));    // blank for the tab
    EXPECT_FALSE(isAlignedLabel("             char :\t"));   // name not right-aligned
}

}  // namespace
}  // namespace kelmora
