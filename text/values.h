// Text, ByteSet and TextArray: the three value kinds every routine works on, and the operations
// on them. The operations are the system's whole defined set, kept with their exact rules even
// where only the tests call one today: the routines above are written in their terms.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Bytes in the local code page (936), never a zero byte; positions are 1-based.
// std::string keeps short and empty values off the heap.
using Text = std::string;
// A counted byte sequence that may hold zero bytes.
using ByteSet = std::vector<std::uint8_t>;
// Members are numbered from 1 by callers; index i - 1 here.
using TextArray = std::vector<Text>;

int TextLength(std::string_view text);
Text TextLeft(std::string_view text, int n);
Text TextRight(std::string_view text, int n);
Text TextMid(std::string_view text, int start, int n);

// The byte at a 1-based position as a signed value; 0 outside the text.
int TextCode(std::string_view text, int position = 1);
Text CharFromCode(std::uint8_t code);
Text SpaceText(int n);

int ByteSetLength(const ByteSet& bytes);
ByteSet ByteSetMid(const ByteSet& bytes, int start, int n);
ByteSet ZeroByteSet(int n);
ByteSet ToByteSet(std::string_view text);
// The bytes before the first zero byte.
Text ToText(const ByteSet& bytes);
Text ToText(std::string_view bytes);
std::uint8_t ToByte(int value);
Text ToHexText(int value);

}  // namespace tarnwick
