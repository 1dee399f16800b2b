// Reads arbitrary receptions under every protocol, alone and against a
// request cut from the same input, asks whether they are whole frames, and
// lets the simulated device answer them; checks that what comes back stays
// bounded and that the device only answers in whole frames.
#include "ProtocolReading.h"
#include "SimulatedDevice.h"

#include <cstdlib>
#include <string>

using namespace quorvane;

namespace
{

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// A few entries in each table, some of them at addresses the input picks.
SimulatedTables Tables(std::uint8_t pick)
{
    SimulatedTables tables;
    for (std::uint16_t a = 0; a < 8; ++a) {
        tables.registers.push_back({static_cast<std::uint16_t>(a + pick), a});
        tables.coils.push_back({static_cast<std::uint16_t>(a + pick), (a & pick) != 0});
    }
    tables.meter = {{0x00010000, "1234.56"},
                    {0x02010100, "220.1"},
                    {0x04000101, "2026-12-09"},
                    {0x04000102, "12:30:00"},
                    {0x04000C01, "0102"}};
    return tables;
}

void ReadBounded(std::span<const std::uint8_t> reception, const ProtocolChoice& choice,
                 std::span<const std::uint8_t> request)
{
    const ProtocolReading reading = ReadProtocolFrame(reception, choice, request);
    Check(reading.fields.size() <= reception.size() + 16);
    Check(reading.check.reading.size() <= 64 + (kMostShownValues + 1) * 16);
    if (!reading.check.Correct()) {
        Check(reading.values.empty());
    }
    for (const ProtocolField& field : reading.fields) {
        Check(field.offset + field.length <= reception.size());
    }
    (void)WholeProtocolFrame(reception, choice);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::span<const std::uint8_t> input(data, size);
    const std::size_t cut = input[0] % (size + 1);
    const std::span<const std::uint8_t> request = input.subspan(1).first(std::min(cut, size - 1));
    const std::span<const std::uint8_t> reception = input.subspan(1 + request.size());

    for (int kind = ProtocolModbusRtu; kind < ProtocolCount; ++kind) {
        const ProtocolChoice choice{kind, input[0] % 4, "000000001234", (input[0] & 1) != 0};
        ReadBounded(input, choice, {});
        ReadBounded(reception, choice, request);

        SimulatedDevice device(choice, Tables(input[0]));
        for (const std::span<const std::uint8_t> asked : {input, request, reception}) {
            const std::optional<ByteList> answer = device.Answer(asked);
            if (answer) {
                Check(WholeProtocolFrame(*answer, choice));
                Check(ReadProtocolFrame(*answer, choice, asked).check.Correct());
            }
        }
    }
    return 0;
}
