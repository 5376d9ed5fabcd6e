// A plain text table with columns padded to their widest cell. A new column is one more heading
// and one more cell per row.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace vyr::tool {

class Table {
public:
    explicit Table(std::vector<std::string> headings) : headings_(std::move(headings)) {}
    void addRow(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }
    void print(std::FILE* out) const;

private:
    std::vector<std::string> headings_;
    std::vector<std::vector<std::string>> rows_;
};

} // namespace vyr::tool
