#pragma once

#include "Setup.h"
#include "SetupLineReader.h"

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace quorvane {

// Reads one setup file into a record, stopping at the first problem. Lines
// are first gathered by section and key, refusing what the format does not
// know, then every key is read in the order the writer writes it.
class SetupReader
{
public:
    explicit SetupReader(std::string_view text);

    // The first problem, or empty when the whole file was read into setup().
    std::string read();
    const Setup& setup() const { return setup_; }

private:
    struct Entry {
        std::string_view value;
        std::size_t line = 0;
    };
    using Section = std::map<std::string_view, Entry, std::less<>>;

    std::string readHead();
    std::string gatherLines();
    std::string gatherLine(const SetupLine& line, std::string_view& section);
    std::string missingSection() const;
    std::string readFixedSections();
    std::string readChartFields();
    std::string readCommands();
    std::string readCommand(std::size_t number, SavedCommand& command) const;
    std::string readStep(const std::string& prefix, SavedCommand& command) const;
    std::string commandPastCount() const;
    const Entry* find(std::string_view section, std::string_view key) const;

    bool known(int since) const { return since <= version_; }

    SetupLineReader lines_;
    int version_ = 1;
    std::map<std::string_view, Section, std::less<>> sections_;
    Setup setup_;
};

} // namespace quorvane
