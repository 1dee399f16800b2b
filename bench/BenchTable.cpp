// Prints the rows the benchmark programs wrote as one fixed-width table.
//   quorvane-bench-table ROWS [NOTES]
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace
{

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t')) {
        fields.push_back(field);
    }
    return fields;
}

// Display columns of a UTF-8 string (every character counted as one).
std::size_t Columns(const std::string& s)
{
    std::size_t n = 0;
    for (unsigned char c : s) {
        if ((c & 0xC0) != 0x80) {
            ++n;
        }
    }
    return n;
}

std::string Pad(const std::string& s, std::size_t width)
{
    return s + std::string(width - std::min(width, Columns(s)), ' ');
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: quorvane-bench-table ROWS [NOTES]\n");
        return 2;
    }
    const std::vector<std::string> header = {"figure", "measured: median [min..max] (runs)",
                                             "goal",   "QPlainTextEdit view, same run",
                                             "ratio",  "goal met"};
    std::vector<std::vector<std::string>> lines;
    std::ifstream rows(argv[1]);
    std::string line;
    while (std::getline(rows, line)) {
        if (!line.empty()) {
            lines.push_back(Split(line));
        }
    }
    std::vector<std::size_t> widths;
    for (const std::string& h : header) {
        widths.push_back(Columns(h));
    }
    for (const auto& fields : lines) {
        if (!fields.empty() && fields[0] == "#") {
            continue;
        }
        for (std::size_t i = 0; i < fields.size() && i < widths.size(); ++i) {
            widths[i] = std::max(widths[i], Columns(fields[i]));
        }
    }
    std::size_t total = 0;
    for (std::size_t w : widths) {
        total += w + 3;
    }
    const std::string rule(total - 3, '-');
    auto print = [&](const std::vector<std::string>& fields) {
        std::string out;
        for (std::size_t i = 0; i < widths.size(); ++i) {
            const std::string field = i < fields.size() ? fields[i] : "";
            out += i + 1 < widths.size() ? Pad(field, widths[i]) + " | " : field;
        }
        std::cout << out << '\n';
    };
    std::cout << "Quorvane benchmarks\n" << rule << '\n';
    print(header);
    std::cout << rule << '\n';
    for (const auto& fields : lines) {
        if (!fields.empty() && fields[0] == "#") {
            std::cout << (fields.size() > 1 ? fields[1] : "") << '\n';
            continue;
        }
        print(fields);
    }
    std::cout << rule << '\n';
    if (argc > 2) {
        std::ifstream notes(argv[2]);
        while (std::getline(notes, line)) {
            std::cout << line << '\n';
        }
    }
    return 0;
}
