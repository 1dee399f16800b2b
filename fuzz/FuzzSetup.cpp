// Feeds arbitrary bytes to the setup reader. Whatever it accepts must write
// back to a text that reads as the same record, and writing is stable.
#include "SetupText.h"

#include <cstdlib>
#include <string_view>

using namespace quorvane;

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const SetupReading first = ReadSetupText(text);
    Check(first.setup.has_value() == first.problem.empty());
    if (!first.setup) {
        // A problem quotes at most a short piece of the file.
        Check(first.problem.size() < 200);
        return 0;
    }
    // Never longer than the file read, counting a last line break it may
    // lack: whatever opened can be saved and opened again.
    const std::string written = WriteSetupText(*first.setup);
    Check(written.size() <= text.size() + (text.ends_with('\n') ? 0 : 1));
    const SetupReading second = ReadSetupText(written);
    Check(second.setup.has_value());
    Check(*second.setup == *first.setup);
    Check(WriteSetupText(*second.setup) == written);
    return 0;
}
