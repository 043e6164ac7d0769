#include "foundation/PropertyList.h"

#include <plist/plist.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

namespace foundation {

namespace {

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

Value fromNode(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t flag = 0;
        plist_get_bool_val(node, &flag);
        return Value(flag != 0);
    }
    case PLIST_UINT: {
        uint64_t number = 0;
        plist_get_uint_val(node, &number);
        return Value(static_cast<std::int64_t>(number));
    }
    case PLIST_REAL: {
        double number = 0;
        plist_get_real_val(node, &number);
        return Value(number);
    }
    case PLIST_STRING: {
        char* text = nullptr;
        plist_get_string_val(node, &text);
        Value value(std::string(text ? text : ""));
        std::free(text);
        return value;
    }
    case PLIST_DATA: {
        char* bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        Data data(bytes, bytes + length);
        std::free(bytes);
        return Value(std::move(data));
    }
    case PLIST_ARRAY: {
        Array array;
        for (uint32_t i = 0, n = plist_array_get_size(node); i < n; ++i)
            array.push_back(fromNode(plist_array_get_item(node, i)));
        return Value(std::move(array));
    }
    case PLIST_DICT: {
        Dictionary dictionary;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iter, &key, &item);
            if (!item) break;
            dictionary.emplace(key ? key : "", fromNode(item));
            std::free(key);
        }
        std::free(iter);
        return Value(std::move(dictionary));
    }
    default:
        // Dates and keyed-archive identifiers are not used by this system.
        return Value(std::string());
    }
}

plist_t toNode(const Value& value) {
    return std::visit(
        [](const auto& item) -> plist_t {
            using T = std::decay_t<decltype(item)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return plist_new_string(item.c_str());
            } else if constexpr (std::is_same_v<T, bool>) {
                return plist_new_bool(item ? 1 : 0);
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return plist_new_uint(static_cast<uint64_t>(item));
            } else if constexpr (std::is_same_v<T, double>) {
                return plist_new_real(item);
            } else if constexpr (std::is_same_v<T, Data>) {
                return plist_new_data(reinterpret_cast<const char*>(item.data()), item.size());
            } else if constexpr (std::is_same_v<T, Array>) {
                plist_t array = plist_new_array();
                for (const Value& element : item) plist_array_append_item(array, toNode(element));
                return array;
            } else {
                plist_t dictionary = plist_new_dict();
                for (const auto& [key, element] : item)
                    plist_dict_set_item(dictionary, key.c_str(), toNode(element));
                return dictionary;
            }
        },
        static_cast<const Value::variant&>(value));
}

bool needsQuotes(const std::string& text) {
    if (text.empty()) return true;
    for (unsigned char c : text)
        if (!std::isalnum(c) && c != '_' && c != '.' && c != '/') return true;
    return false;
}

}  // namespace

std::string describe(const Value& value) {
    return std::visit(
        [](const auto& item) -> std::string {
            using T = std::decay_t<decltype(item)>;
            if constexpr (std::is_same_v<T, std::string>) {
                if (!needsQuotes(item)) return item;
                std::string quoted = "\"";
                for (char c : item) {
                    if (c == '"' || c == '\\') quoted += '\\';
                    quoted += c;
                }
                return quoted + "\"";
            } else if constexpr (std::is_same_v<T, bool>) {
                return item ? "1" : "0";
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return std::to_string(item);
            } else if constexpr (std::is_same_v<T, double>) {
                std::ostringstream out;
                out << item;
                return out.str();
            } else if constexpr (std::is_same_v<T, Data>) {
                static const char* digits = "0123456789abcdef";
                std::string hex = "<";
                for (size_t i = 0; i < item.size(); ++i) {
                    if (i && i % 4 == 0) hex += ' ';
                    hex += digits[item[i] >> 4];
                    hex += digits[item[i] & 15];
                }
                return hex + ">";
            } else if constexpr (std::is_same_v<T, Array>) {
                std::string text = "(";
                for (size_t i = 0; i < item.size(); ++i) text += (i ? ", " : "") + describe(item[i]);
                return text + ")";
            } else {
                std::string text = "{";
                for (const auto& [key, element] : item)
                    text += describe(Value(key)) + " = " + describe(element) + "; ";
                return text + "}";
            }
        },
        static_cast<const Value::variant&>(value));
}

std::optional<Value> parsePropertyList(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > UINT32_MAX) return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    if (!root) return std::nullopt;
    PlistPtr owner(root);
    return fromNode(root);
}

std::string serializePropertyList(const Value& value) {
    PlistPtr root(toNode(value));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    std::string text(xml ? xml : "", length);
    plist_to_xml_free(xml);
    return text;
}

std::optional<Value> readPropertyList(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return parsePropertyList(bytes.str());
}

bool writePropertyListAtomically(const std::filesystem::path& path, const Value& value) {
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    const std::string text = serializePropertyList(value);
    std::random_device random;
    auto temporary = path;
    temporary += ".tmp." + std::to_string(getpid()) + "." + std::to_string(random());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            std::filesystem::remove(temporary, error);
            return false;
        }
    }
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

std::map<std::string, std::string> textEntries(const Dictionary& dictionary) {
    std::map<std::string, std::string> entries;
    for (const auto& [key, value] : dictionary)
        if (const std::string* text = value.string()) entries.emplace(key, *text);
    return entries;
}

}  // namespace foundation
