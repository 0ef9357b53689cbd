// The TRC243 (and TRC241) wire protocol, as the receiver speaks it. The
// driver is built from this text, and so is the receiver simulator; neither
// includes the other's code.
//
// LINE
//   Serial, 9600 baud, even parity, 7 data bits, 1 stop bit. Several
//   receivers may share one line on a bus; each has an address 0..15.
//   Only 7-bit characters travel; a byte with bit 7 set makes its frame
//   unreadable.
//
// COMMAND FRAME (computer to receiver)
//   CR, [address character], command text, LF
//   - The address character is "0" plus the address (0x30..0x3F: "0".."9",
//     ":", ";", "<", "=", ">", "?"); the driver sets an address above 15 to
//     15 first. A receiver takes only frames with its own address character
//     and ignores frames for other addresses without a word.
//   - Without bus addressing the address character is left out (the text
//     then begins directly with its command letter). Every receiver on the
//     line takes such a frame and answers it without an address character;
//     use addressing when receivers share a line.
//   - A frame that does not begin with CR, has no command text, holds a
//     control character or a byte with bit 7 set, or runs to more than 40
//     characters before its LF, is ignored without an answer.
//   - The driver writes each frame whole (no per-character delay) with an
//     after-delay of 10 ms. Several frames may go in one write; they are
//     answered in order.
//
// REPLY LINE (receiver to computer)
//   CR, [address character], text, LF
//   The address character is present exactly when the command carried one,
//   and is the receiver's own. Every frame the receiver takes is answered by
//   exactly one line, so the driver can count lines against commands.
//   A line is either an ACKNOWLEDGEMENT or a RECORD:
//   - an acknowledgement contains one of "OM", "om", "TST", "tst", "OP",
//     "op", "REM", "rem", "LOC" or "loc" and is not parsed further (except
//     the identification in the answer to "RMT", below);
//   - any other line is a record; its first letter (after CR and the
//     address character) names its kind: A, B or C. Records never contain
//     an acknowledgement word.
//
// ACKNOWLEDGEMENTS
//   "LOC"         answer to "LOC": the receiver is now under local control.
//   "REM OPmxyz"  answer to "RMT" when the receiver was under local control:
//                 it is now under remote control, and identifies itself.
//                 m, the character right after "OP" (two places after the
//                 "O"): "S" = TRC243 (ROM text "243"), "T" = TRC241 (ROM
//                 text "241"). x, y, z, always three characters, the fitted
//                 options: x "5" = ISB option (adds the ISB mode), y "%" =
//                 filter option F1, z "/" = filter option FI; "-" where an
//                 option is not fitted (so "REM OPS---" = no options,
//                 "/NoOpt"). Any other model character is a receiver the
//                 driver does not know. A line that ends before the three
//                 option characters carries no filter information: the
//                 receiver's option memory is lost and it must be reset.
//   "REM"         answer to "RMT" while already under remote control: no
//                 identification follows. A driver that meets it at connect
//                 has lost the receiver's state ("No OP frame"): it sends
//                 "LOC" and "RMT" again, or the operator resets the receiver.
//   "OM"          a setting command was taken.
//   "om"          a setting command was refused: malformed, out of range,
//                 not fitted, or not allowed in the present mode. Nothing
//                 changed.
//   "loc"         a setting command was refused because the receiver is
//                 under local control (front panel). Nothing changed.
//   "TST"         answer to "T": the self-test passed ("tst": it failed).
//   Queries ("GA", "GB", "C%02u", "T") are answered under local control too.
//
// CONNECT, POLL, DISCONNECT
//   connect:    "LOC" (read 100 ms) → "LOC"; "RMT" (read 200 ms) →
//               "REM OPmxyz"; then "GA" and "GB" for the present state.
//   poll:       "GA" and "GB" in one write, each tick → an A and a B record.
//   remote:     "RMT" (→ "REM ..."); local: "LOC" (→ "LOC").
//   disconnect: "LOC".
//   Setting commands confirm with "OM"; the value itself is confirmed by the
//   next A or B record.
//
// SETTING COMMANDS (need remote control; "OM" / "om" / "loc")
//   "F%08d"    frequency in Hz, 00005000 .. 29999999.
//   "B%c%03d"  BFO: sign "+" or "-", then the magnitude in Hz, three or four
//              digits (the format pads to three), at most 7999.
//   "M%d"      mode digit: 0 AM, 1 USB, 2 LSB, 3 CW, 4 ISB (only with the
//              ISB option), 5 FM, 6 RTTY. FAX is CW with the FAX BFO offset
//              (the driver emulates it). A mode change brings back the AGC
//              kept for the new mode, and in AM, CW, RTTY and FM the filter
//              last chosen in any of them.
//   "I%d"      IF filter code 1..6: code c selects filter position c + 1
//              (the driver's slot c + 1; code 1 = slot 2, code 6 = the roof
//              filter). Code 0 is the SSB filter, which the receiver uses by
//              itself in USB, LSB and ISB: there every "I" is refused, and
//              "I0" is refused in every mode.
//   "H%c%c"    AGC for one mode: the mode digit, then the AGC letter, F fast,
//              M medium, S slow. The receiver keeps one AGC per mode; the A
//              record reports the one of the present mode. What exists
//              depends on the mode: AM takes M and S; USB, LSB, ISB, CW and
//              RTTY take F, M and S; FM has no AGC (always refused). A mode
//              digit of a mode not fitted is refused.
//   "A%d"      attenuator: 0 off, 1 On1, 2 On2.
//   "V%d"      HF preselector: 0 off, 1 on.
//   "U%c%c"    squelch threshold, two digits "00".."99" (dB above the noise;
//              "00" = squelch off).
//   "XX%c"     the six switched outputs at once: the character is 0x30 plus
//              a bit mask (bit 0 = output 1 ... bit 5 = output 6), "0".."o"
//              (0x30..0x6F).
//   "K%u"      recall memory channel 1..100 (one to three digits); an empty
//              channel is refused.
//   "P%02u"    store the present settings in memory channel 01..100.
//   "E%02u"    erase memory channel 01..100.
//   Any change of frequency, mode, BFO, filter, AGC or attenuator leaves
//   the recalled channel (the B record's K field becomes 000).
//
// QUERIES
//   "GA"       → A record     "GB" → B record
//   "C%02u"    → C record of memory channel 01..100 ("om" for another number)
//   "T"        → "TST"
//   An unknown command, or "G" with another letter, is answered "om".
//
// RECORDS (fixed positions; lengths without CR, address character and LF)
//   A record, 22 characters:  "A" "F" ffffffff "M" d "I" d "B" sdddd "H" a
//     e.g. "AF07050000M3I2B-0800HS"
//     f: frequency in Hz (8 digits); M: mode digit; I: filter code (0 in
//     USB, LSB and ISB); B: BFO, sign and four digits in Hz; H: AGC letter
//     F, M, S, or "-" (none, in FM).
//   B record, 20 characters:  "B" "A" d "V" d "U" dd "Q" d "S" ddd "X" o "K" ccc
//     e.g. "BA0V1U00Q0S045X0K000"
//     A: attenuator; V: preselector; U: squelch threshold; Q: 1 while the
//     squelch holds the audio muted (signal below the threshold), else 0;
//     S: signal level in dBuV, 000..120 (the S-meter); X: the outputs
//     character as in "XX%c"; K: memory channel recalled, 001..100, 000 =
//     none.
//   C record, 27 characters:  "C" nnn "F" ffffffff "M" d "I" d "B" sdddd "H" a "A" d
//     e.g. "C042F07050000M3I2B-0800HSA0"
//     the channel number (3 digits) and the settings it holds, as in the A
//     record plus the attenuator. An empty channel reads with frequency
//     00000000, mode 0, filter 0, BFO +0000, AGC "-" and attenuator 0.
//
// RANGES THE RECEIVER REFUSES ("om")
//   frequency below 5000 Hz or above 29999999 Hz or not 8 digits; BFO
//   beyond 7999 Hz or without its sign; mode digits above 6, and 4 without
//   the ISB option; the filter and AGC rules above; attenuator above 2;
//   channel 0 or above 100; outputs character outside 0x30..0x6F.
#pragma once

namespace quorvin::trc243 {

// Mode digits of "M%d" and of the records.
inline constexpr int kModeAM = 0;
inline constexpr int kModeUSB = 1;
inline constexpr int kModeLSB = 2;
inline constexpr int kModeCW = 3;
inline constexpr int kModeISB = 4;
inline constexpr int kModeFM = 5;
inline constexpr int kModeRTTY = 6;

// Record lengths, without CR, address character and LF.
inline constexpr int kARecordLength = 22;
inline constexpr int kBRecordLength = 20;
inline constexpr int kCRecordLength = 27;

}  // namespace quorvin::trc243
