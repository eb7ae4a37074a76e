// SPDX-License-Identifier: MIT
// Reads the known-answer files of tests/vectors: one vector a line, fields of hex
// separated by spaces, '#' lines are comments.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tarnel::test {

struct VectorLine {
    int line_number = 0;
    std::vector<std::string> fields;
};

inline std::vector<VectorLine> read_vector_file(const std::string& name) {
    std::ifstream in(std::string(TARNEL_VECTOR_DIR) + "/" + name);
    std::vector<VectorLine> lines;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#')
            continue;
        VectorLine vector{number, {}};
        std::istringstream fields(line);
        for (std::string field; fields >> field;)
            vector.fields.push_back(field);
        lines.push_back(vector);
    }
    return lines;
}

}  // namespace tarnel::test
