#pragma once

#include <ostream>
#include <span>

#include "console/console.hpp"
#include "report/catalogue.hpp"

namespace kelmora {

// Writes the title and one line per row, each tag in its verdict's colour.
void writeReport(std::ostream& out, std::span<const TypeRow> rows, console::Colouring& colouring);

}  // namespace kelmora
