// Field splitting of PBX program lines and small text helpers shared by the whole core.
#pragma once

#include <string>
#include <string_view>
#include <vector>

using TStringList = std::vector<std::string>;

// 0 for empty text, else 1 plus the number of characters of Text that are delimiters.
int WordCount(std::string_view Text, std::string_view Delims);

// The N-th field (N from 1) of Text; fields are separated by any single delimiter character,
// consecutive delimiters give empty fields, a field past the last gives empty text.
std::string ExtractWord(std::string_view Text, std::string_view Delims, int N);

// Blanks (spaces and tabs) removed from both ends.
std::string TrimBlanks(std::string_view Text);

// Lower-case copy (ASCII only: the PBX and the settings file are plain ASCII).
std::string LowerAscii(std::string_view Text);
bool SameTextAscii(std::string_view A, std::string_view B);

// Reads a decimal integer the way the PBX items are read: leading blanks and one sign allowed,
// reading stops at the first non-digit; no leading digit gives 0. Saturates instead of
// overflowing on absurdly long digit runs.
int LeadingInt(std::string_view Text);

// Strict decimal integer: optional blanks, optional sign, at least one digit, optional blanks,
// nothing else. Returns false (and leaves Value alone) for anything else or out of int range.
bool TryStrToInt(std::string_view Text, int& Value);

// The characters a PBX line may hold: printable ASCII, blank to tilde.
inline bool PrintableAscii(char C) { return C >= 0x20 && C <= 0x7e; }
// Where the first byte that is no printable ASCII stands in Text; npos when there is none.
size_t FirstUnprintable(std::string_view Text);
// Text with every byte that is no printable ASCII written as <XX> (its hex value), so that a
// file's or a PBX's bytes shown to the user cannot act on a terminal or hide in a message.
std::string EscapeUnprintable(std::string_view Text);
// A serial server's address as a port name: rfc2217://HOST:PORT (Telnet) or tcp://HOST:PORT,
// an IPv6 address in brackets.
std::string NetworkPortText(bool Telnet, const std::string& Host, const std::string& Port);

// Splits at carriage return, line feed or both (CRLF counts as one line end).
TStringList SplitLines(std::string_view Text);
