// Fuzzes answer classification and the record decoders. Input: one byte of
// command code, then the answer's bytes (up to the 642-byte packet buffer).

#include "device/Records.h"

#include <array>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

template <typename Record> void roundTrip(const uint8_t *bytes)
{
    std::array<uint8_t, Record::Size> out {};
    Record::decode(bytes).encode(out.data());
    check(std::memcmp(out.data(), bytes, Record::Size) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int code = data[0] % (CommandTableSize + 2);
    const size_t count = std::min<size_t>(size - 1, PacketBufferSize);
    // The answer lands in the packet buffer; the rest keeps older bytes.
    std::array<uint8_t, PacketBufferSize> buffer;
    buffer.fill(0xA5);
    std::memcpy(buffer.data(), data + 1, count);

    const AnswerKind kind = classifyAnswer(code, static_cast<int>(count));
    switch (kind) {
    case AnswerKind::WarmUp:
        check(count == WarmUpRecord::Size);
        roundTrip<WarmUpRecord>(buffer.data());
        break;
    case AnswerKind::Result:
        check(count == ResultRecord::Size);
        roundTrip<ResultRecord>(buffer.data());
        break;
    case AnswerKind::DriftInfo:
        check(count == DriftInfoRecord::Size);
        roundTrip<DriftInfoRecord>(buffer.data());
        break;
    case AnswerKind::TermRatio:
        check(count == TermRatioRecord::Size);
        roundTrip<TermRatioRecord>(buffer.data());
        break;
    case AnswerKind::Constants:
        check(count == ConstantsRecord::Size);
        roundTrip<ConstantsRecord>(buffer.data());
        check(ConstantsRecord::decode(buffer.data()).firmwareText().size() <= 5);
        break;
    case AnswerKind::Progress:
        check(count == ProgressPacket::Size);
        (void)programStatusName(ProgressPacket::decode(buffer.data()).status);
        break;
    case AnswerKind::Empty:
        check(count == 0);
        break;
    case AnswerKind::Raw:
        break;
    }

    // The file writer decodes the buffer by the last kind, whatever the count.
    float sum = 0;
    for (int kindCode = DataKindNone; kindCode <= DataKindDrift; ++kindCode) {
        const VariableRange range = variableRange(static_cast<DataKindCode>(kindCode));
        for (int i = range.first; i <= range.last; ++i)
            sum += variableValue(i, buffer.data());
    }
    (void)sum;
    (void)decodePressureAnswer(buffer.data());
    (void)decodeO2Answer(buffer.data());
    (void)decodeStretchAnswer(buffer.data());
    (void)commandName(code);
    (void)commandOutLength(code);
    return 0;
}
