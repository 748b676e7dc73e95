// Fuzzes what an OBD adapter sends and what a stored diagnosis holds. Input:
// one byte choosing the command the bytes answer (or, past the commands,
// that they are a stored diagnosis), then the bytes, read by the adapter's
// reader in pieces whose ends the byte 0x01 marks.

#include "device/obd/ElmAnswer.h"
#include "device/obd/ObdDecode.h"
#include "device/obd/VehicleDiagnosis.h"

#include <cstdlib>

namespace {

const char *const Commands[] = { "ATZ", "ATI", "ATDPN", "0100", "0101", "0105", "010C", "03",
    "0902" };
constexpr size_t CommandCount = sizeof Commands / sizeof Commands[0];
constexpr uint8_t PieceEnd = 0x01;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void decode(const char *command, const uint8_t *data, size_t size)
{
    ElmReader reader;
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == PieceEnd) {
            reader.feed(data + start, i - start);
            start = i + 1;
        }
    }
    const ElmAnswer answer = parseElmAnswer(reader.text(), command);
    check(answer.outcome == ElmOutcome::Ok || answer.lines.empty());
    obd::protocolNumber(answer.lines.empty() ? std::string() : answer.lines.front());

    std::vector<ObdMessage> messages;
    std::string why;
    if (!elmMessages(answer.lines, messages, why))
        return;
    if (const auto rpm = obd::engineSpeed(messages))
        check(*rpm >= 0 && *rpm <= 16383.75);
    if (const auto coolant = obd::coolantTemperature(messages))
        check(*coolant >= -40 && *coolant <= 215);
    obd::supportedPids(messages);
    if (const auto status = obd::monitorStatus(messages))
        check((status->incomplete.bits() & ~status->supported.bits()) == 0);
    if (const auto codes = obd::storedCodes(messages)) {
        for (const std::string &code : *codes) {
            uint8_t high = 0;
            uint8_t low = 0;
            check(obd::troubleCodeBytes(code, high, low) && obd::troubleCodeText(high, low) == code);
        }
    }
    if (const auto vin = obd::vehicleIdentification(messages))
        check(vin->empty() || vin->size() == 17);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t choice = data[0] % (CommandCount + 1);
    if (choice < CommandCount) {
        decode(Commands[choice], data + 1, size - 1);
        return 0;
    }
    const auto stored = VehicleDiagnosis::fromJson(
        QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));
    if (stored) {
        // What was accepted is stored again unchanged.
        check(VehicleDiagnosis::fromJson(stored->toJson()) == stored);
        stored->summary();
    }
    return 0;
}
