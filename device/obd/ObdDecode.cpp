#include "device/obd/ObdDecode.h"

#include <algorithm>
#include <cctype>

namespace obd {

namespace {

constexpr uint8_t PositiveAnswer = 0x40; // an answer's mode is the request's plus this
constexpr uint8_t ModeCurrentData = 0x01;
constexpr uint8_t ModeStoredCodes = 0x03;
constexpr uint8_t ModeVehicleInfo = 0x09;
constexpr uint8_t PidSupported = 0x00;
constexpr uint8_t PidMonitorStatus = 0x01;
constexpr uint8_t PidCoolant = 0x05;
constexpr uint8_t PidEngineSpeed = 0x0C;
constexpr uint8_t PidVin = 0x02;
constexpr int CoolantOffset = 40;
constexpr double RpmPerCount = 0.25;
constexpr size_t VinLength = 17;
// Older protocols: mode 03 sends six bytes (three codes) per message,
// mode 09 PID 02 four VIN bytes per message after its sequence number.
constexpr size_t LegacyCodesMessage = 7;
constexpr size_t LegacyVinMessage = 7;
constexpr char CodeLetters[] = { 'P', 'C', 'B', 'U' };

// The first message answering mode 01 `pid` with at least `dataBytes` data.
const ObdMessage *currentData(
    const std::vector<ObdMessage> &messages, uint8_t pid, size_t dataBytes)
{
    for (const ObdMessage &m : messages) {
        if (m.size() >= 2 + dataBytes && m[0] == (ModeCurrentData | PositiveAnswer) && m[1] == pid)
            return &m;
    }
    return nullptr;
}

std::vector<const ObdMessage *> allCurrentData(
    const std::vector<ObdMessage> &messages, uint8_t pid, size_t dataBytes)
{
    std::vector<const ObdMessage *> found;
    for (const ObdMessage &m : messages) {
        if (m.size() >= 2 + dataBytes && m[0] == (ModeCurrentData | PositiveAnswer) && m[1] == pid)
            found.push_back(&m);
    }
    return found;
}

void addCode(std::vector<std::string> &codes, uint8_t high, uint8_t low)
{
    // 00 00 pads a message; it is no code.
    if (high == 0 && low == 0)
        return;
    const std::string code = troubleCodeText(high, low);
    if (std::find(codes.begin(), codes.end(), code) == codes.end())
        codes.push_back(code);
}

bool vinCharacter(uint8_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
}

} // namespace

std::optional<double> engineSpeed(const std::vector<ObdMessage> &messages)
{
    const ObdMessage *m = currentData(messages, PidEngineSpeed, 2);
    if (!m)
        return std::nullopt;
    return ((*m)[2] * 256 + (*m)[3]) * RpmPerCount;
}

std::optional<int> coolantTemperature(const std::vector<ObdMessage> &messages)
{
    const ObdMessage *m = currentData(messages, PidCoolant, 1);
    if (!m)
        return std::nullopt;
    return int((*m)[2]) - CoolantOffset;
}

std::optional<uint32_t> supportedPids(const std::vector<ObdMessage> &messages)
{
    const auto found = allCurrentData(messages, PidSupported, 4);
    if (found.empty())
        return std::nullopt;
    uint32_t bits = 0;
    for (const ObdMessage *m : found)
        bits |= uint32_t((*m)[2]) << 24 | uint32_t((*m)[3]) << 16 | uint32_t((*m)[4]) << 8
            | uint32_t((*m)[5]);
    return bits;
}

bool pidSupported(uint32_t supported, int pid)
{
    return pid >= 1 && pid <= 32 && (supported & (uint32_t(1) << (32 - pid)));
}

std::optional<ObdMonitorStatus> monitorStatus(const std::vector<ObdMessage> &messages)
{
    const auto found = allCurrentData(messages, PidMonitorStatus, 4);
    if (found.empty())
        return std::nullopt;
    ObdMonitorStatus all;
    for (const ObdMessage *m : found) {
        const ObdMonitorStatus one = obdMonitorStatusFromBytes((*m)[2], (*m)[3], (*m)[4], (*m)[5]);
        all.milOn = all.milOn || one.milOn;
        all.codeCount += one.codeCount;
        all.compressionIgnition = all.compressionIgnition || one.compressionIgnition;
        all.supported |= one.supported;
        all.incomplete |= one.incomplete;
    }
    return all;
}

std::optional<std::vector<std::string>> storedCodes(const std::vector<ObdMessage> &messages)
{
    std::vector<std::string> codes;
    bool answered = false;
    for (const ObdMessage &m : messages) {
        if (m.empty() || m[0] != (ModeStoredCodes | PositiveAnswer))
            continue;
        // A CAN answer is 43, a count and two bytes per code, so it never has
        // the seven bytes of an older protocol's message.
        const size_t first = m.size() == LegacyCodesMessage ? 1 : 2;
        if (m.size() < first || (m.size() - first) % 2 != 0)
            return std::nullopt;
        answered = true;
        for (size_t i = first; i + 1 < m.size(); i += 2)
            addCode(codes, m[i], m[i + 1]);
    }
    if (!answered)
        return std::nullopt;
    return codes;
}

std::optional<std::string> vehicleIdentification(const std::vector<ObdMessage> &messages)
{
    std::vector<const ObdMessage *> found;
    for (const ObdMessage &m : messages) {
        if (m.size() >= 3 && m[0] == (ModeVehicleInfo | PositiveAnswer) && m[1] == PidVin)
            found.push_back(&m);
    }
    if (found.empty())
        return std::nullopt;

    std::vector<uint8_t> bytes;
    const bool legacy = found.size() > 1
        && std::all_of(found.begin(), found.end(),
            [](const ObdMessage *m) { return m->size() == LegacyVinMessage; });
    if (legacy) {
        // Four characters per message, in the order of their sequence numbers.
        std::sort(found.begin(), found.end(),
            [](const ObdMessage *a, const ObdMessage *b) { return (*a)[2] < (*b)[2]; });
        for (const ObdMessage *m : found)
            bytes.insert(bytes.end(), m->begin() + 3, m->end());
    } else {
        // A CAN answer starts with the number of data items (one VIN).
        const ObdMessage &m = *found.front();
        const size_t first = m.size() > 2 + VinLength ? 3 : 2;
        bytes.assign(m.begin() + long(first), m.end());
    }
    // Units without a programmed VIN send padding.
    const auto isPadding = [](uint8_t c) { return c == 0 || c == ' ' || c == 0xff; };
    while (!bytes.empty() && isPadding(bytes.front()))
        bytes.erase(bytes.begin());
    while (!bytes.empty() && isPadding(bytes.back()))
        bytes.pop_back();
    if (bytes.empty())
        return std::string();
    if (bytes.size() != VinLength || !std::all_of(bytes.begin(), bytes.end(), vinCharacter))
        return std::nullopt;
    return std::string(bytes.begin(), bytes.end());
}

std::string troubleCodeText(uint8_t high, uint8_t low)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text += CodeLetters[high >> 6];
    text += digits[(high >> 4) & 0x3];
    text += digits[high & 0xf];
    text += digits[low >> 4];
    text += digits[low & 0xf];
    return text;
}

bool troubleCodeBytes(const std::string &text, uint8_t &high, uint8_t &low)
{
    if (text.size() != 5)
        return false;
    const char *letter = std::find(std::begin(CodeLetters), std::end(CodeLetters),
        char(std::toupper(static_cast<unsigned char>(text[0]))));
    if (letter == std::end(CodeLetters) || text[1] < '0' || text[1] > '3')
        return false;
    unsigned rest = 0;
    for (size_t i = 2; i < 5; ++i) {
        const char c = char(std::toupper(static_cast<unsigned char>(text[i])));
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        rest = rest * 16 + unsigned(c <= '9' ? c - '0' : c - 'A' + 10);
    }
    const unsigned letterBits = unsigned(letter - std::begin(CodeLetters));
    high = uint8_t(letterBits << 6 | unsigned(text[1] - '0') << 4 | rest >> 8);
    low = uint8_t(rest & 0xff);
    return true;
}

int protocolNumber(const std::string &describeProtocolNumber)
{
    std::string text = describeProtocolNumber;
    // "A" in front: the adapter found it by itself.
    if (text.size() == 2 && (text[0] == 'A' || text[0] == 'a'))
        text.erase(0, 1);
    if (text.size() != 1 || !std::isxdigit(static_cast<unsigned char>(text[0])))
        return 0;
    const int number = std::stoi(text, nullptr, 16);
    return number >= 1 && number <= 12 ? number : 0;
}

std::string protocolName(int number)
{
    static const char *const names[] = {
        "",
        "SAE J1850 PWM (41.6 kbaud)",
        "SAE J1850 VPW (10.4 kbaud)",
        "ISO 9141-2 (5 baud init)",
        "ISO 14230-4 KWP (5 baud init)",
        "ISO 14230-4 KWP (fast init)",
        "ISO 15765-4 CAN (11 bit ID, 500 kbaud)",
        "ISO 15765-4 CAN (29 bit ID, 500 kbaud)",
        "ISO 15765-4 CAN (11 bit ID, 250 kbaud)",
        "ISO 15765-4 CAN (29 bit ID, 250 kbaud)",
        "SAE J1939 CAN (29 bit ID, 250 kbaud)",
        "USER1 CAN (11 bit ID, 125 kbaud)",
        "USER2 CAN (11 bit ID, 50 kbaud)",
    };
    if (number < 1 || number > 12)
        return {};
    return names[number];
}

} // namespace obd
