#include "table.h"

#include <algorithm>

namespace vyr::tool {
namespace {

void printRow(std::FILE* out, const std::vector<std::string>& cells, const std::vector<size_t>& widths)
{
    std::string text;
    for (size_t column = 0; column < widths.size(); ++column) {
        const std::string cell = column < cells.size() ? cells[column] : "";
        text += cell;
        if (column + 1 < widths.size())
            text.append(widths[column] - cell.size() + 2, ' ');
    }
    std::fprintf(out, "%s\n", text.c_str());
}

} // namespace

void Table::print(std::FILE* out) const
{
    std::vector<size_t> widths(headings_.size());
    for (size_t column = 0; column < headings_.size(); ++column) {
        widths[column] = headings_[column].size();
        for (const auto& row : rows_) {
            if (column < row.size())
                widths[column] = std::max(widths[column], row[column].size());
        }
    }
    printRow(out, headings_, widths);
    for (const auto& row : rows_)
        printRow(out, row, widths);
}

} // namespace vyr::tool
