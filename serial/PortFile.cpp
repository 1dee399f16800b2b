#include "PortFile.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quorvane {

namespace {

std::string Trimmed(const std::string& text)
{
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

// 1 to 16 for "COM1" to "COM16" in any case, else 0.
int ComNumber(const std::string& key)
{
    if (key.size() < 4 || key.size() > 5 || (key[0] | 0x20) != 'c' || (key[1] | 0x20) != 'o' ||
        (key[2] | 0x20) != 'm' || key[3] < '1' || key[3] > '9') {
        return 0;
    }
    int n = key[3] - '0';
    if (key.size() == 5) {
        if (key[4] < '0' || key[4] > '9') {
            return 0;
        }
        n = n * 10 + (key[4] - '0');
    }
    return n <= kMaxComPorts ? n : 0;
}

} // namespace

PortChoices EnvironmentChoices()
{
    PortChoices choices;
    for (int n = 1; n <= kMaxComPorts; ++n) {
        const char* named = std::getenv(("QUORVANE_COM" + std::to_string(n)).c_str());
        if (named != nullptr) {
            choices[n - 1] = named;
        }
    }
    return choices;
}

std::string PortFilePath()
{
    // A relative XDG_CONFIG_HOME is to be ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return std::string(config) + "/quorvane/ports.conf";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.config/quorvane/ports.conf";
    }
    return {};
}

PortChoices ParsePortFile(const std::string& text)
{
    PortChoices choices;
    std::istringstream lines(text);
    bool inPorts = false;
    for (std::string line; std::getline(lines, line);) {
        line = Trimmed(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        if (line.front() == '[') {
            inPorts = line == "[ports]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inPorts || equals == std::string::npos) {
            continue;
        }
        const int n = ComNumber(Trimmed(line.substr(0, equals)));
        if (n != 0) {
            choices[n - 1] = Trimmed(line.substr(equals + 1));
        }
    }
    return choices;
}

PortChoices ReadPortFile(const std::string& path)
{
    if (path.empty()) {
        return {};
    }
    std::ifstream in(path);
    if (!in) {
        return {};
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParsePortFile(text.str());
}

} // namespace quorvane
