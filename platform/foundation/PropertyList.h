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

std::optional<Value> parsePropertyList(std::string_view bytes);
std::string serializePropertyList(const Value& value);

std::optional<Value> readPropertyList(const std::filesystem::path& path);
// Writes a temporary file beside `path` and renames it over `path`, so readers see
// either the old or the new file. Creates missing parent folders.
bool writePropertyListAtomically(const std::filesystem::path& path, const Value& value);

// Keeps only the text values of a dictionary.
std::map<std::string, std::string> textEntries(const Dictionary& dictionary);

}  // namespace foundation
