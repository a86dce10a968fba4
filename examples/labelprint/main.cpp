// Tessaly Label Print, the sample product the example installer ships: prints
// its version, and with a label file prints the label framed as a preview.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* kVersion = LABELPRINT_VERSION;

int Preview(const char* path)
{
    std::ifstream in(path);
    if (!in) {
        std::cerr << "labelprint: cannot read " << path << "\n";
        return 1;
    }
    std::vector<std::string> lines;
    size_t width = 0;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        width = std::max(width, line.size());
        lines.push_back(line);
    }
    std::string border(width + 4, '-');
    border.front() = '+';
    border.back() = '+';
    std::cout << border << "\n";
    for (const auto& line : lines)
        std::cout << "| " << line << std::string(width - line.size(), ' ') << " |\n";
    std::cout << border << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "-autostart") == 0)
        return 0;  // started with the session: nothing to show without a window
    std::cout << "Tessaly Label Print " << kVersion << "\n";
    for (int i = 1; i < argc; ++i) {
        if (int rc = Preview(argv[i]))
            return rc;
    }
    return 0;
}
