// Protocol shapes that several receiver models share, as pure functions:
// ASCII frames with a bus address, replies made of letters each followed by
// a number, records taken from the front of a receive buffer, and the
// length-checked reads every parser uses. Nothing here does I/O.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvin::family {

// lead + the address as `digits` decimal digits (zero-padded; clamped to
// 0..99 for two digits) + command + end, e.g. "$07G\r\n".
std::string addressFrame(std::string_view lead, int address, int digits, std::string_view command,
                         std::string_view end);

// True when the reply holds at least two bytes and both, with bit 7 masked
// off, are 0x7F (a line that answers with DEL bytes is not a receiver).
bool beginsWithTwoDel(std::string_view reply);

// The text with every CR and LF removed.
std::string withoutLineEnds(std::string_view text);

// The reply text for a trace line: trailing CR and LF removed.
std::string_view traceText(std::string_view reply);

// A number that follows a letter in a status reply.
struct LetterField {
    std::size_t letter;  // position of the letter
    double value;
};

// Finds `letter` at or after `from` and reads the number that follows it
// directly: a decimal ("%lf": sign, digits, point) or, with wholeOnly, an
// unsigned whole number ("%u"). A letter without a number is no field.
// Searching past the end finds nothing.
std::optional<LetterField> findLetterField(std::string_view text, char letter, std::size_t from, bool wholeOnly);

// Where the next search starts: two characters past a letter found at
// `letter`, never past the end of the text.
std::size_t resumeAfter(std::string_view text, std::size_t letter);

// Takes the first complete record (up to and including `end`) from the front
// of the buffer; nothing while no `end` has arrived.
std::optional<std::string> takeRecord(std::string& buffer, char end);

// How many whole records (up to and including `end`) the bytes hold,
// not counting records of line ends alone (a CR LF pair split at either
// byte is no record).
std::size_t countRecords(std::string_view bytes, char end);

// A decimal digit at a position; nothing when the text is too short or the
// byte is no digit.
std::optional<int> digitAt(std::string_view text, std::size_t pos);
// `count` decimal digits at a position, all of them digits.
std::optional<std::int64_t> digitsAt(std::string_view text, std::size_t pos, std::size_t count);

}  // namespace quorvin::family
