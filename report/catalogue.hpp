#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace kelmora {

// One line of the report: a type's label, its size in this build and the size
// expected of it on a 32-bit x86 computer.
struct TypeRow {
    std::string_view label;
    std::size_t measuredSize;
    std::size_t referenceSize;
};

enum class SizeVerdict { Ok, Small, High };

// 12 bytes is how the 32-bit x86 ABIs that keep the full x87 format (the i386
// System V psABI, 32-bit MinGW) store long double; an 8-byte one is a double in
// disguise and reports Small.
inline constexpr std::size_t longDoubleReference = 12;

inline constexpr std::array<TypeRow, 16> catalogue{{
    {"              char:\t", sizeof(char), 1},
    {"     unsigned char:\t", sizeof(unsigned char), 1},
    {"       signed char:\t", sizeof(signed char), 1},
    {"           wchar_t:\t", sizeof(wchar_t), 2},
    {"         short int:\t", sizeof(short int), 2},
    {"  signed short int:\t", sizeof(signed short int), 2},
    {"unsigned short int:\t", sizeof(unsigned short int), 2},
    {"               int:\t", sizeof(int), 4},
    {"        signed int:\t", sizeof(signed int), 4},
    {"      unsigned int:\t", sizeof(unsigned int), 4},
    {"              long:\t", sizeof(long), 4},
    {"       signed long:\t", sizeof(signed long), 4},
    {"     unsigned long:\t", sizeof(unsigned long), 4},
    {"             float:\t", sizeof(float), 4},
    {"            double:\t", sizeof(double), 8},
    {"       long double:\t", sizeof(long double), longDoubleReference},
}};

constexpr SizeVerdict verdictOf(const TypeRow& row) {
    if (row.measuredSize == row.referenceSize) {
        return SizeVerdict::Ok;
    }
    return row.measuredSize < row.referenceSize ? SizeVerdict::Small : SizeVerdict::High;
}

constexpr std::string_view tagOf(SizeVerdict verdict) {
    constexpr std::array<std::string_view, 3> tags{"\t[OK]", "\t[SMALL]", "\t[HIGH]"};
    return tags[static_cast<std::size_t>(verdict)];
}

// The sizes of all rows start in one column only if every label is a name
// right-aligned in 18 columns followed by ":" and a tab.
constexpr bool isAlignedLabel(std::string_view label) {
    return label.size() == 20 && label.ends_with(":\t") && label.front() != '\t' &&
           label[17] != ' ';
}

static_assert(std::ranges::all_of(catalogue,
                                  [](const TypeRow& row) { return isAlignedLabel(row.label); }));

}  // namespace kelmora
