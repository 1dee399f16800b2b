#include "BreakMarkDecoder.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

ReceivedSegments DecodeWhole(const ByteList& stream)
{
    BreakMarkDecoder decoder;
    ReceivedSegments out;
    decoder.feed(stream, out);
    return out;
}

// Feeds the stream in pieces cut at the given positions (ascending).
ReceivedSegments DecodeCut(const ByteList& stream, const std::vector<std::size_t>& cuts)
{
    BreakMarkDecoder decoder;
    ReceivedSegments out;
    std::size_t from = 0;
    for (const std::size_t cut : cuts) {
        decoder.feed(stream.data() + from, cut - from, out);
        from = cut;
    }
    decoder.feed(stream.data() + from, stream.size() - from, out);
    return out;
}

struct DecodeCase {
    const char* name;
    ByteList stream;
    ReceivedSegments expected;
};

std::vector<DecodeCase> Cases()
{
    using S = ReceivedSegment;
    return {
        {"plain data", {0x01, 0x02, 0x03}, {S::Data({0x01, 0x02, 0x03})}},
        {"empty", {}, {}},
        {"escaped FF, break, error-marked byte",
         {0x41, 0xFF, 0xFF, 0x42, 0xFF, 0x00, 0x00, 0x43, 0xFF, 0x00, 0x55},
         {S::Data({0x41, 0xFF, 0x42}), S::Break(), S::Data({0x43, 0x55}, 1)}},
        {"breaks only", {0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00}, {S::Break(), S::Break()}},
        {"break first and last",
         {0xFF, 0x00, 0x00, 0x10, 0xFF, 0x00, 0x00},
         {S::Break(), S::Data({0x10}), S::Break()}},
        {"runs of escaped FF", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {S::Data({0xFF, 0xFF, 0xFF})}},
        {"error-marked FF and NUL neighbours",
         {0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x01},
         {S::Data({0x00, 0xFF, 0x00, 0x01}, 2)}},
        {"FF before another byte is taken as data",
         {0xFF, 0x41, 0xFF, 0x7F, 0x00},
         {S::Data({0xFF, 0x41, 0xFF, 0x7F, 0x00})}},
        {"escaped FF then break",
         {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF},
         {S::Data({0xFF}), S::Break(), S::Data({0xFF})}},
    };
}

TEST(BreakMarkDecoder, DecodesMarkedStreams)
{
    for (const DecodeCase& c : Cases()) {
        EXPECT_EQ(DecodeWhole(c.stream), c.expected) << c.name;
    }
}

TEST(BreakMarkDecoder, AnySplitDecodesLikeTheWhole)
{
    for (const DecodeCase& c : Cases()) {
        const std::size_t n = c.stream.size();
        for (std::size_t first = 0; first <= n; ++first) {
            EXPECT_EQ(DecodeCut(c.stream, {first}), c.expected) << c.name << " cut at " << first;
            for (std::size_t second = first; second <= n; ++second) {
                EXPECT_EQ(DecodeCut(c.stream, {first, second}), c.expected)
                    << c.name << " cut at " << first << " and " << second;
            }
        }
    }
}

TEST(BreakMarkDecoder, ByteAtATimeAcrossAllByteValues)
{
    ByteList stream;
    ByteList data;
    for (int value = 0; value < 256; ++value) {
        data.push_back(static_cast<std::uint8_t>(value));
        stream.push_back(static_cast<std::uint8_t>(value));
        if (value == 0xFF) {
            stream.push_back(0xFF);
        }
    }
    stream.insert(stream.end(), {0xFF, 0x00, 0x00});
    std::vector<std::size_t> everyByte;
    for (std::size_t at = 1; at < stream.size(); ++at) {
        everyByte.push_back(at);
    }
    const ReceivedSegments expected{ReceivedSegment::Data(data), ReceivedSegment::Break()};
    EXPECT_EQ(DecodeWhole(stream), expected);
    EXPECT_EQ(DecodeCut(stream, everyByte), expected);
}

TEST(BreakMarkDecoder, HoldsAnUnfinishedMarkUntilTheNextFeed)
{
    BreakMarkDecoder decoder;
    ReceivedSegments out;
    decoder.feed(ByteList{0x30, 0xFF}, out);
    EXPECT_EQ(out, ReceivedSegments{ReceivedSegment::Data({0x30})});
    EXPECT_TRUE(decoder.insideMark());
    decoder.feed(ByteList{0x00}, out);
    EXPECT_TRUE(decoder.insideMark());
    decoder.feed(ByteList{0x00, 0x31}, out);
    EXPECT_FALSE(decoder.insideMark());
    const ReceivedSegments expected{ReceivedSegment::Data({0x30}), ReceivedSegment::Break(),
                                    ReceivedSegment::Data({0x31})};
    EXPECT_EQ(out, expected);
}

TEST(BreakMarkDecoder, ResetForgetsAPartMark)
{
    BreakMarkDecoder decoder;
    ReceivedSegments out;
    decoder.feed(ByteList{0xFF, 0x00}, out);
    decoder.reset();
    decoder.feed(ByteList{0x00, 0x01}, out);
    EXPECT_EQ(out, ReceivedSegments{ReceivedSegment::Data({0x00, 0x01})});
}

TEST(BreakMarkDecoder, DataContinuesTheLastRunOfTheOutput)
{
    ReceivedSegments out{ReceivedSegment::Data({0x01})};
    AppendData(out, ByteList{0x02}.data(), 1);
    out.push_back(ReceivedSegment::Break());
    AppendData(out, ByteList{0x03}.data(), 1);
    AppendData(out, nullptr, 0);
    const ReceivedSegments expected{ReceivedSegment::Data({0x01, 0x02}), ReceivedSegment::Break(),
                                    ReceivedSegment::Data({0x03})};
    EXPECT_EQ(out, expected);
}

} // namespace
} // namespace quorvane
