#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace quorvane {

// One line of a setup file that carries something.
struct SetupLine {
    enum class Kind {
        Section,     // "[name]"
        Entry,       // "key=value"
        Unreadable,  // neither of the above
        NotUtf8,     // bytes that are not UTF-8 text
        ControlChar, // a control character, or a tab inside a key or value
    };
    Kind kind = Kind::Unreadable;
    std::string_view name;  // the section name or the key, blanks around removed
    std::string_view value; // the raw value, blanks around removed
    std::size_t number = 0; // counted from 1
};

// Splits a setup file into lines. Lines end in LF or CR LF; a UTF-8 byte
// order mark at the start is skipped. Blank lines and comment lines (whose
// first character other than a blank is ';' or '#') are passed over. Blanks are spaces
// and tabs. The reader keeps views into the text, which must outlive it.
class SetupLineReader
{
public:
    explicit SetupLineReader(std::string_view text);

    // The next line that is neither blank nor a comment; empty at the end.
    std::optional<SetupLine> next();

private:
    std::string_view takeLine();

    std::string_view rest_;
    std::size_t number_ = 0;
};

} // namespace quorvane
