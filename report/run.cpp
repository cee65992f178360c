#include "report/run.hpp"

namespace kelmora {

namespace {
constexpr std::string_view title = "Kelmora dla komputera 32 bitowego (x86): \n\n";
}  // namespace

void writeReport(std::ostream& out, std::span<const TypeRow> rows, console::Colouring& colouring) {
    out << title;
    for (const TypeRow& row : rows) {
        out << row.label << row.measuredSize;
        const SizeVerdict verdict = verdictOf(row);
        colouring.setVerdictAttribute(verdict);
        out << tagOf(verdict) << std::endl;
        colouring.setNeutralAttribute();
    }
}

}  // namespace kelmora
