#include "ReplyChecker.h"

#include <algorithm>

namespace quorvane {

namespace {

void AppendHexPairs(std::string& out, const ByteList& bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    for (const std::uint8_t b : bytes) {
        out.push_back(' ');
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0x0F]);
    }
}

// The exception codes of the Modbus application protocol.
const char* ModbusExceptionName(std::uint8_t code)
{
    switch (code) {
    case 0x01:
        return "非法功能";
    case 0x02:
        return "非法数据地址";
    case 0x03:
        return "非法数据值";
    case 0x04:
        return "从站设备故障";
    case 0x05:
        return "确认";
    case 0x06:
        return "从站设备忙";
    case 0x08:
        return "存储奇偶性差错";
    case 0x0A:
        return "不可用网关路径";
    case 0x0B:
        return "网关目标设备响应失败";
    default:
        return nullptr;
    }
}

// An exception answer: address, function with its high bit set, code, CRC.
constexpr std::uint64_t kModbusExceptionLength = 5;
constexpr std::size_t kKeptHead = 3; // for the function byte and the code

} // namespace

ReplyChecker::ReplyChecker(const SharedSettings& settings)
    : layout_(LayoutOf(settings)),
      modbus_(layout_.check != nullptr && settings.FcsMethod == FcsCrc16Modbus),
      fcs_(layout_.check != nullptr ? *layout_.check : FcsMethodOf(FcsXor))
{
}

void ReplyChecker::Add(std::span<const std::uint8_t> bytes)
{
    KeepHeader(bytes);
    KeepTail(bytes);
    count_ += bytes.size();
}

void ReplyChecker::KeepHeader(std::span<const std::uint8_t> bytes)
{
    const std::size_t keep = std::max(layout_.headerLength, kKeptHead);
    for (std::size_t i = 0; i < bytes.size() && count_ + i < keep; ++i) {
        header_[count_ + i] = bytes[i];
    }
}

void ReplyChecker::KeepTail(std::span<const std::uint8_t> bytes)
{
    const std::size_t keep = layout_.TrailerLength();
    if (bytes.size() >= keep) {
        PassOn(std::span(tail_.data(), tailSize_));
        PassOn(bytes.first(bytes.size() - keep));
        std::copy(bytes.end() - static_cast<std::ptrdiff_t>(keep), bytes.end(), tail_.begin());
        tailSize_ = keep;
        return;
    }
    // Fewer new bytes than the tail holds: the oldest tail bytes move on.
    std::array<std::uint8_t, 16> joined{};
    std::copy_n(tail_.begin(), tailSize_, joined.begin());
    std::copy(bytes.begin(), bytes.end(), joined.begin() + static_cast<std::ptrdiff_t>(tailSize_));
    const std::size_t total = tailSize_ + bytes.size();
    const std::size_t leaving = total > keep ? total - keep : 0;
    PassOn(std::span(joined.data(), leaving));
    std::copy(joined.begin() + static_cast<std::ptrdiff_t>(leaving),
              joined.begin() + static_cast<std::ptrdiff_t>(total), tail_.begin());
    tailSize_ = total - leaving;
}

void ReplyChecker::PassOn(std::span<const std::uint8_t> bytes)
{
    const std::uint64_t uncovered =
        layout_.coverageStart > passed_ ? layout_.coverageStart - passed_ : 0;
    const auto skip = static_cast<std::size_t>(std::min<std::uint64_t>(uncovered, bytes.size()));
    fcs_.Add(bytes.subspan(skip));
    passed_ += bytes.size();
}

std::optional<ReplyVerdict> ReplyChecker::StructureFault() const
{
    const std::uint64_t fixed = layout_.headerLength + layout_.TrailerLength();
    if (count_ < fixed) {
        return ReplyVerdict::WrongLength;
    }
    if (layout_.start && header_[0] != *layout_.start) {
        return ReplyVerdict::WrongStart;
    }
    if (layout_.end && tail_[tailSize_ - 1] != *layout_.end) {
        return ReplyVerdict::WrongEnd;
    }
    if (layout_.withCount && header_[layout_.headerLength - 1] != count_ - fixed) {
        return ReplyVerdict::WrongLength;
    }
    return std::nullopt;
}

ReplyCheckResult ReplyChecker::Finish() const
{
    ReplyCheckResult result;
    if (const auto fault = StructureFault()) {
        result.verdict = *fault;
        return result;
    }
    if (layout_.check == nullptr) {
        return result;
    }
    const int width = layout_.check->width;
    ByteList expected;
    AppendFcsBytes(fcs_.Value(), width, layout_.byteOrder, expected);
    ByteList received(tail_.begin(), tail_.begin() + width);
    if (expected != received) {
        result.verdict = ReplyVerdict::WrongCheck;
        result.expected = std::move(expected);
        result.received = std::move(received);
        return result;
    }
    result.modbusException = ModbusException();
    return result;
}

bool ReplyChecker::Complete() const
{
    const std::uint64_t fixed = layout_.headerLength + layout_.TrailerLength();
    if (count_ < fixed) {
        return false;
    }
    if (layout_.withCount) {
        return count_ == fixed + header_[layout_.headerLength - 1] && Finish().Correct();
    }
    if (layout_.end) {
        return tail_[tailSize_ - 1] == *layout_.end && Finish().Correct();
    }
    return layout_.CheckWidth() >= 2 && Finish().Correct();
}

std::optional<std::uint8_t> ReplyChecker::ModbusException() const
{
    if (!modbus_ || count_ != kModbusExceptionLength || (header_[1] & 0x80) == 0) {
        return std::nullopt;
    }
    return header_[2];
}

ReplyCheckResult CheckReply(const ByteList& reception, const SharedSettings& settings)
{
    ReplyChecker checker(settings);
    checker.Add(reception);
    return checker.Finish();
}

std::string ModbusExceptionText(std::uint8_t code)
{
    std::string text = "异常";
    AppendHexPairs(text, {code});
    if (const char* name = ModbusExceptionName(code)) {
        text += std::string(" ") + name;
    }
    return text;
}

std::string ReplyCheckText(const ReplyCheckResult& result)
{
    switch (result.verdict) {
    case ReplyVerdict::Correct:
        if (!result.reading.empty()) {
            return " [校验正确 " + result.reading + "]";
        }
        if (!result.modbusException) {
            return " [校验正确]";
        }
        return " [校验正确 " + ModbusExceptionText(*result.modbusException) + "]";
    case ReplyVerdict::ParityError:
        return " [奇偶校验错误]";
    case ReplyVerdict::WrongCheck: {
        std::string text = " [校验错误 应为";
        AppendHexPairs(text, result.expected);
        text += " 收到";
        AppendHexPairs(text, result.received);
        text += "]";
        return text;
    }
    case ReplyVerdict::WrongLength:
        return " [长度错误]";
    case ReplyVerdict::WrongEnd:
        return " [帧尾错误]";
    case ReplyVerdict::WrongStart:
        return " [帧头错误]";
    }
    return {};
}

} // namespace quorvane
