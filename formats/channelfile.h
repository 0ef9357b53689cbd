// The memory-channel file of the suite: plain text, one channel a line, CR LF
// line ends, eight fields separated by ';' (the seventh is followed by ';',
// so the eighth is empty):
//
//   channel (three digits, zero-filled); frequency in Hz (right-aligned in 11);
//   BFO in Hz (5); mode name (5); filter bandwidth in Hz (5); AGC name (4);
//   mask flag (1);
//
// Right-aligned fields are padded with blanks; a longer value is written
// whole. Fields are trimmed of blanks when read. Numbers are written and
// read without the locale. Pure: no driver, no Qt; `korvanectl channels`
// and the application's channel window use it (library korvane_channelfile).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace channelfile {

struct ChannelLine {
    int channel = 0;
    std::int64_t frequency = 0;  // Hz
    std::int64_t bfo = 0;  // Hz; an empty field reads as 0
    std::string mode;  // the mode's name, as the driver names it
    std::int64_t filter = 0;  // Hz
    std::string agc;  // the AGC's name, as the driver names it
    std::int64_t mask = 0;  // 0 keep, 1 skip; an empty field reads as 0
};

// One line with its CR LF.
std::string formatLine(const ChannelLine& line);
std::string format(const std::vector<ChannelLine>& lines);

struct ParseError {
    int line = 0;  // counted from 1
    std::string message;
};

struct ParseResult {
    std::vector<ChannelLine> lines;  // the lines before an error, in file order
    std::optional<ParseError> error;
};

// Reads a whole file's text; stops at the first faulty line with one of
// "Line N is invalid", "Line N don't contain the required number of
// fields !", "Empty field(s) on line N", "Non numerical field(s) on line N"
// or "Value(s) out of range on line N". Empty lines at the very end are
// not lines; LF alone ends a line as well as CR LF. With `agcOptional` an
// empty AGC field is taken (as the empty name): a receiver without AGC
// settings writes its channels so.
ParseResult parse(std::string_view text, bool agcOptional = false);

}  // namespace channelfile
