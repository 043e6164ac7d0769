#include "style/interface/TextOffsets.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace style {
namespace {

// Byte offsets of every character boundary, from 0 to the text's size.
std::vector<std::size_t> characterBoundaries(std::string_view text) {
    std::vector<std::size_t> bounds{0};
    if (text.empty()) return bounds;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    if (U_FAILURE(status) || !it) {
        utext_close(utext);
        // Without ICU's rules, fall back to one character per byte rather than fail.
        for (std::size_t i = 1; i <= text.size(); ++i) bounds.push_back(i);
        return bounds;
    }
    it->setText(utext, status);
    for (int32_t pos = it->next(); pos != icu::BreakIterator::DONE; pos = it->next())
        bounds.push_back(static_cast<std::size_t>(pos));
    utext_close(utext);
    return bounds;
}

}  // namespace

std::int64_t characterCount(std::string_view text) {
    return static_cast<std::int64_t>(characterBoundaries(text).size()) - 1;
}

std::string substringBetween(std::string_view text, std::int64_t from, std::int64_t to) {
    auto bounds = characterBoundaries(text);
    std::int64_t count = static_cast<std::int64_t>(bounds.size()) - 1;
    from = std::clamp<std::int64_t>(from, 0, count);
    to = std::clamp<std::int64_t>(to, 0, count);
    if (to <= from) return {};
    return std::string(text.substr(bounds[from], bounds[to] - bounds[from]));
}

std::string firstCharacters(std::string_view text, std::int64_t n) {
    return substringBetween(text, 0, std::clamp<std::int64_t>(n, 0, characterCount(text)));
}

std::string substringToOffset(std::string_view text, std::int64_t n) {
    return substringBetween(text, 0, std::max<std::int64_t>(n, 0));
}

std::string characterAt(std::string_view text, std::int64_t i) {
    return substringBetween(text, i, i + 1);
}

std::string substringFromOffset(std::string_view text, std::int64_t n) {
    std::int64_t count = characterCount(text);
    return substringBetween(text, std::min(n, count), count);
}

std::string capitalizingFirstLetter(std::string_view text) {
    std::string first = characterAt(text, 0);
    if (first.empty()) return {};
    icu::UnicodeString title = icu::UnicodeString::fromUTF8(first);
    title.toTitle(nullptr, icu::Locale::getRoot());
    std::string result;
    title.toUTF8String(result);
    return result.append(text.substr(first.size()));
}

void capitalizeFirstLetter(std::string& text) { text = capitalizingFirstLetter(text); }

bool isDigitsOnly(std::string_view text) {
    int32_t i = 0;
    const auto length = static_cast<int32_t>(text.size());
    while (i < length) {
        UChar32 c;
        U8_NEXT(text.data(), i, length, c);
        if (c < 0 || !u_isdigit(c)) return false;
    }
    return true;
}

}  // namespace style
