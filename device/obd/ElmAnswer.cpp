#include "device/obd/ElmAnswer.h"

#include <algorithm>
#include <cctype>

namespace {

struct StatusWord
{
    const char *text;
    ElmOutcome outcome;
};

// The adapter's words for a command that brought no data. Compared with the
// line as printed, spaces kept.
constexpr StatusWord StatusWords[] = {
    { "NO DATA", ElmOutcome::NoData },
    { "UNABLE TO CONNECT", ElmOutcome::UnableToConnect },
    { "CAN ERROR", ElmOutcome::CanError },
    { "STOPPED", ElmOutcome::Stopped },
    { "?", ElmOutcome::Unknown },
    { "BUS BUSY", ElmOutcome::BusError },
    { "BUS ERROR", ElmOutcome::BusError },
    { "FB ERROR", ElmOutcome::BusError },
    { "DATA ERROR", ElmOutcome::BusError },
    { "BUFFER FULL", ElmOutcome::BusError },
    { "LV RESET", ElmOutcome::BusError },
    { "ACT ALERT", ElmOutcome::BusError },
};

constexpr std::string_view Searching = "SEARCHING";
constexpr std::string_view BusInit = "BUS INIT";
constexpr size_t CountLineDigits = 3; // "014": the byte count of a multi-frame answer
constexpr int FrameNumbers = 16; // frame numbers run 0..F and start again

std::string trimmed(std::string_view text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    return std::string(text.substr(begin, end - begin));
}

// Upper case without spaces: how a command and its echo compare.
std::string normalized(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c != ' ')
            out += char(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool allHex(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return hexValue(c) >= 0; });
}

bool hexBytes(std::string_view text, ObdMessage &bytes)
{
    if (text.empty() || text.size() % 2 != 0 || !allHex(text))
        return false;
    for (size_t i = 0; i < text.size(); i += 2)
        bytes.push_back(uint8_t(hexValue(text[i]) * 16 + hexValue(text[i + 1])));
    return true;
}

// A word of the adapter instead of data; Ok when the line is none.
ElmOutcome statusOf(const std::string &line)
{
    for (const StatusWord &word : StatusWords) {
        if (line == word.text)
            return word.outcome;
    }
    if (startsWith(line, BusInit) && line.find("ERROR") != std::string::npos)
        return ElmOutcome::BusInitError;
    // "ERR94" and the like, "<RX ERROR", "<DATA ERROR" after a line's data.
    if ((startsWith(line, "ERR") && line.size() > 3 && allHex(std::string_view(line).substr(3)))
        || line.find("<RX ERROR") != std::string::npos
        || line.find("<DATA ERROR") != std::string::npos)
        return ElmOutcome::BusError;
    return ElmOutcome::Ok;
}

} // namespace

ElmAnswer parseElmAnswer(std::string_view text, std::string_view command)
{
    ElmAnswer answer;
    answer.outcome = ElmOutcome::Ok;
    const std::string echo = normalized(command);
    bool first = true;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line = trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty())
            continue;
        if (first && !echo.empty() && normalized(line) == echo) {
            first = false;
            continue;
        }
        first = false;
        // Some clones print the search and its outcome on one line.
        if (startsWith(line, Searching)) {
            answer.searched = true;
            const size_t rest = line.find_first_not_of(". ", Searching.size());
            if (rest == std::string::npos)
                continue;
            line = line.substr(rest);
        }
        if (startsWith(line, BusInit) && endsWith(line, "OK")) {
            answer.searched = true;
            continue;
        }
        const ElmOutcome status = statusOf(line);
        if (status != ElmOutcome::Ok) {
            // The first word counts; the data before it, if any, is not to be trusted.
            if (answer.outcome == ElmOutcome::Ok) {
                answer.outcome = status;
                answer.remark = line;
            }
            continue;
        }
        answer.lines.push_back(line);
    }
    if (answer.outcome != ElmOutcome::Ok)
        answer.lines.clear();
    return answer;
}

bool elmMessages(
    const std::vector<std::string> &lines, std::vector<ObdMessage> &messages, std::string &why)
{
    messages.clear();
    ObdMessage pending;
    size_t expected = 0; // bytes still to come for a multi-frame answer; 0 when none open
    int nextFrame = 0;
    for (const std::string &line : lines) {
        const std::string packed = normalized(line);
        const size_t colon = packed.find(':');
        if (colon != std::string::npos) {
            const std::string_view number = std::string_view(packed).substr(0, colon);
            if (expected == 0) {
                why = "frame without its byte count: " + line;
                return false;
            }
            if (number.size() != 1 || hexValue(number[0]) != nextFrame) {
                why = "frame out of order: " + line;
                return false;
            }
            if (!hexBytes(std::string_view(packed).substr(colon + 1), pending)) {
                why = "not hex data: " + line;
                return false;
            }
            nextFrame = (nextFrame + 1) % FrameNumbers;
            if (pending.size() >= expected) {
                // The last frame is padded to its full length.
                pending.resize(expected);
                messages.push_back(pending);
                pending.clear();
                expected = 0;
            }
            continue;
        }
        if (expected != 0) {
            why = "multi-frame answer cut short before: " + line;
            return false;
        }
        if (packed.size() == CountLineDigits && allHex(packed)) {
            expected = size_t(std::stoul(packed, nullptr, 16));
            nextFrame = 0;
            if (expected == 0) {
                why = "empty multi-frame answer";
                return false;
            }
            continue;
        }
        ObdMessage message;
        if (!hexBytes(packed, message)) {
            why = "not hex data: " + line;
            return false;
        }
        messages.push_back(message);
    }
    if (expected != 0) {
        why = "multi-frame answer cut short";
        return false;
    }
    if (messages.empty()) {
        why = "no data";
        return false;
    }
    return true;
}

bool ElmReader::feed(const uint8_t *data, size_t length)
{
    for (size_t i = 0; i < length && !m_complete; ++i) {
        const uint8_t byte = data[i];
        if (byte == uint8_t(Prompt))
            m_complete = true;
        else if (byte == '\r' || byte == '\n' || (byte >= 0x20 && byte < 0x7f))
            m_text += char(byte);
    }
    return m_complete;
}

bool ElmReader::searching() const
{
    return m_text.find(Searching) != std::string::npos || m_text.find(BusInit) != std::string::npos;
}

void ElmReader::clear()
{
    m_text.clear();
    m_complete = false;
}
