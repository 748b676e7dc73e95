#pragma once

// What an ELM327-compatible OBD-II adapter prints for one command, taken
// apart. The adapter answers in text lines ended by CR (CR LF with ATL1) and
// closes every answer with its prompt ">". Real adapters and their clones
// differ: the command may be echoed back, bytes may come with or without
// spaces, a first request prints "SEARCHING..." or "BUS INIT: ...OK" before
// the data, a long CAN answer comes as numbered frames after its byte count,
// and failures are words ("NO DATA", "CAN ERROR", "?") instead of data.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// How the adapter ended a command.
enum class ElmOutcome {
    Ok, // lines (and, for a vehicle request, messages) follow
    NoData, // "NO DATA": the vehicle did not answer this request
    UnableToConnect, // "UNABLE TO CONNECT": no vehicle protocol found
    BusInitError, // "BUS INIT: ...ERROR": the K-line would not wake up
    CanError, // "CAN ERROR": the CAN bus does not work as set
    BusError, // "BUS BUSY", "BUS ERROR", "FB ERROR", "DATA ERROR", "BUFFER FULL", ...
    Stopped, // "STOPPED": the adapter was interrupted by a byte from us
    Unknown, // "?": the adapter did not understand the command
    Garbled, // data that is no hex, or frames that do not add up
};

// One answer of one control unit of the vehicle: the bytes after the
// adapter's framing ("41 0C 1A F8" is {0x41, 0x0C, 0x1A, 0xF8}).
using ObdMessage = std::vector<uint8_t>;

struct ElmAnswer
{
    ElmOutcome outcome = ElmOutcome::Garbled;
    // The answer's lines without the echo, the remarks about the search and
    // the empty lines ("ELM327 v1.5", "OK", "A6", "41 0C 1A F8").
    std::vector<std::string> lines;
    // The adapter's own word when outcome is not Ok ("NO DATA", "?"), or
    // what did not add up when it is Garbled.
    std::string remark;
    // The adapter had to find the vehicle's protocol first.
    bool searched = false;
};

// Takes apart the text that came before the prompt, for the command that was
// sent (its echo is recognised and dropped).
ElmAnswer parseElmAnswer(std::string_view text, std::string_view command);

// The control units' messages in an Ok answer to a vehicle request (headers
// off): one per plain line, one per multi-frame answer ("014", "0: ...",
// "1: ..." put together to its byte count). False with `why` set when the
// lines are no such data.
bool elmMessages(
    const std::vector<std::string> &lines, std::vector<ObdMessage> &messages, std::string &why);

// Collects what the adapter sends until its prompt. Bytes that are neither
// printable nor line ends (clones send NULs, a reset sends noise) are
// dropped.
class ElmReader
{
public:
    static constexpr char Prompt = '>';

    // Adds received bytes; true once the prompt has come. What follows the
    // prompt belongs to no command and is dropped.
    bool feed(const uint8_t *data, size_t length);
    bool complete() const { return m_complete; }
    // The text before the prompt.
    const std::string &text() const { return m_text; }
    // The adapter is looking for the vehicle's protocol: its answer may take
    // seconds.
    bool searching() const;
    void clear();

private:
    std::string m_text;
    bool m_complete = false;
};
