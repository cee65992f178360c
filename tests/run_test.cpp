#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "report/catalogue.hpp"
#include "report/run.hpp"

namespace kelmora {
namespace {

// One record of everything the run does, in order: the text it writes, "|"
// where it flushes, and the colour changes as <ok>, <small>, <high>, <neutral>.
class Recorder final : public std::streambuf, public console::Colouring {
  public:
    std::string events;

    void setVerdictAttribute(SizeVerdict verdict) override {
        constexpr std::array<const char*, 3> names{"<ok>", "<small>", "<high>"};
        events += names.at(static_cast<std::size_t>(verdict));
    }
    void setNeutralAttribute() override { events += "<neutral>"; }

    [[nodiscard]] std::vector<std::string> colourChanges() const {
        std::vector<std::string> changes;
        for (std::size_t open = events.find('<'); open != std::string::npos;
             open = events.find('<', open + 1)) {
            changes.push_back(events.substr(open, events.find('>', open) - open + 1));
        }
        return changes;
    }

  protected:
    int_type overflow(int_type c) override {
        events += traits_type::to_char_type(c);
        return c;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        events.append(text, static_cast<std::size_t>(count));
        return count;
    }
    int sync() override {
        events += '|';
        return 0;
    }
};

std::vector<TypeRow> catalogueMeasuring(const std::array<std::size_t, 16>& sizes) {
    std::vector<TypeRow> rows(catalogue.begin(), catalogue.end());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].measuredSize = sizes[i];
    }
    return rows;
}

std::string report(const std::vector<TypeRow>& rows, Recorder& recorder) {
    std::ostream out(&recorder);
    writeReport(out, rows, recorder);
    return recorder.events;
}

TEST(ReportRun, ReferenceBuildInterleavesTextFlushesAndColours) {
    // The 32-bit x86 Windows build whose long double is a plain double.
    Recorder recorder;
    const std::string events =
        report(catalogueMeasuring({1, 1, 1, 2, 2, 2, 2, 4, 4, 4, 4, 4, 4, 4, 8, 8}), recorder);

    EXPECT_EQ(events,
              "Kelmora dla komputera 32 bitowego (x86): \n\n"
              "              char:\t1<ok>\t[OK]\n|<neutral>"
              "     unsigned char:\t1<ok>\t[OK]\n|<neutral>"
              "       signed char:\t1<ok>\t[OK]\n|<neutral>"
              "           wchar_t:\t2<ok>\t[OK]\n|<neutral>"
              "         short int:\t2<ok>\t[OK]\n|<neutral>"
              "  signed short int:\t2<ok>\t[OK]\n|<neutral>"
              "unsigned short int:\t2<ok>\t[OK]\n|<neutral>"
              "               int:\t4<ok>\t[OK]\n|<neutral>"
              "        signed int:\t4<ok>\t[OK]\n|<neutral>"
              "      unsigned int:\t4<ok>\t[OK]\n|<neutral>"
              "              long:\t4<ok>\t[OK]\n|<neutral>"
              "       signed long:\t4<ok>\t[OK]\n|<neutral>"
              "     unsigned long:\t4<ok>\t[OK]\n|<neutral>"
              "             float:\t4<ok>\t[OK]\n|<neutral>"
              "            double:\t8<ok>\t[OK]\n|<neutral>"
              "       long double:\t8<small>\t[SMALL]\n|<neutral>");
    EXPECT_EQ(recorder.colourChanges().size(), 32U);
}

TEST(ReportRun, WideCharAndLongBeyondThirtyTwoBitsAreHigh) {
    // An LP64 build with a 4-byte wchar_t and a 16-byte long double.
    Recorder recorder;
    report(catalogueMeasuring({1, 1, 1, 4, 2, 2, 2, 4, 4, 4, 8, 8, 8, 4, 8, 16}), recorder);

    const std::vector<std::string> expected{
        "<ok>",   "<neutral>", "<ok>", "<neutral>", "<ok>",   "<neutral>", "<high>", "<neutral>",
        "<ok>",   "<neutral>", "<ok>", "<neutral>", "<ok>",   "<neutral>", "<ok>",   "<neutral>",
        "<ok>",   "<neutral>", "<ok>", "<neutral>", "<high>", "<neutral>", "<high>", "<neutral>",
        "<high>", "<neutral>", "<ok>", "<neutral>", "<ok>",   "<neutral>", "<high>", "<neutral>"};
    EXPECT_EQ(recorder.colourChanges(), expected);
    EXPECT_NE(recorder.events.find("       long double:\t16<high>\t[HIGH]\n|<neutral>"),
              std::string::npos)
        << recorder.events;
}

TEST(ReportRun, WritesSeveralDigitSizesWhole) {
    Recorder recorder;
    std::ostream out(&recorder);
    std::vector<TypeRow> rows{{"          too wide:\t", 255, 12}};
    writeReport(out, rows, recorder);
    EXPECT_EQ(recorder.events,
              "Kelmora dla komputera 32 bitowego (x86): \n\n"
              "          too wide:\t255<high>\t[HIGH]\n|<neutral>");
}

}  // namespace
}  // namespace kelmora
