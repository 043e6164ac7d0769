#pragma once
// Text operations by character offset, where a character is what the user sees as
// one (an extended grapheme cluster), counted from 0. Texts are UTF-8.

#include <cstdint>
#include <string>
#include <string_view>

namespace style {

std::int64_t characterCount(std::string_view text);

// The characters from `from` up to `to` (excluded). `from` is clamped to 0...count,
// `to` to count with a negative `to` counting as 0; a reversed range gives "".
std::string substringBetween(std::string_view text, std::int64_t from, std::int64_t to);
std::string firstCharacters(std::string_view text, std::int64_t n);
std::string substringToOffset(std::string_view text, std::int64_t n);
std::string characterAt(std::string_view text, std::int64_t i);
std::string substringFromOffset(std::string_view text, std::int64_t n);

std::string capitalizingFirstLetter(std::string_view text);
void capitalizeFirstLetter(std::string& text);
// True when every character is a decimal digit (also for the empty text).
bool isDigitsOnly(std::string_view text);

}  // namespace style
