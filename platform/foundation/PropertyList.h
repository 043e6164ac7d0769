#pragma once
// Property-list values and their files (XML or binary on read, XML on write).

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace foundation {

struct Value;
using Dictionary = std::map<std::string, Value, std::less<>>;
using Array = std::vector<Value>;
using Data = std::vector<std::uint8_t>;

struct Value : std::variant<std::string, bool, std::int64_t, double, Data, Array, Dictionary> {
    using variant::variant;
    Value() : variant(std::string()) {}
    Value(const char* text) : variant(std::string(text)) {}
    Value(int number) : variant(std::int64_t{number}) {}

    const std::string* string() const { return std::get_if<std::string>(this); }
    const Dictionary* dictionary() const { return std::get_if<Dictionary>(this); }
    const Array* array() const { return std::get_if<Array>(this); }
};

// A description in the style of the system's own: {key = value; ...}, (a, b).
std::string describe(const Value& value);

// Property lists beyond these are refused, not read: the readers recurse once per
// level of nesting, and hold a file whole in memory beside two copies of its elements
// (libplist's and ours).
inline constexpr std::size_t maxPropertyListDepth = 512;
inline constexpr std::size_t maxPropertyListElements = 100'000;
inline constexpr std::uintmax_t maxPropertyListBytes = std::uintmax_t{8} << 20;
// The reasons given for going beyond them.
std::string tooDeepReason();
std::string tooManyElementsReason();
std::string tooLargeReason();

// Absent, with the reason in `error`, when the bytes hold no property list or one
// beyond the limits above.
std::optional<Value> parsePropertyList(std::string_view bytes, std::string* error = nullptr);
std::string serializePropertyList(const Value& value);

struct ReadError {
    enum class Kind { missing, unreadable, malformed };
    Kind kind = Kind::malformed;
    std::string message;  // names the file and the reason
};
// The bytes of a regular file of at most maxPropertyListBytes, whatever size it
// reports; anything else (a FIFO, a device, a folder) is refused unread.
std::optional<std::string> readFileWithinLimit(const std::filesystem::path& path, ReadError* error = nullptr);
std::optional<Value> readPropertyList(const std::filesystem::path& path, ReadError* error = nullptr);
// Writes a temporary file beside `path` and renames it over `path`, so readers see
// either the old or the new file. Creates missing parent folders.
bool writePropertyListAtomically(const std::filesystem::path& path, const Value& value);

// Keeps only the text values of a dictionary.
std::map<std::string, std::string> textEntries(const Dictionary& dictionary);

}  // namespace foundation
