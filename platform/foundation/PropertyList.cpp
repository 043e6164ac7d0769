#include "foundation/PropertyList.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
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
        // Not plist_get_string_val, which aborts on a text holding a zero byte.
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return Value(text ? std::string(text, length) : std::string());
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

// Whether a text keeps to the limits on nesting and elements, found before libplist
// reads it; `unreadable` when its structure cannot be followed.
enum class Shape { within, tooDeep, tooManyElements, unreadable };

// Counts the elements of an XML text and their nesting, no further than one past
// either limit.
Shape xmlShape(std::string_view text) {
    std::size_t depth = 0;
    std::size_t elements = 0;
    std::size_t at = 0;
    auto skipPast = [&](std::string_view end) {
        auto found = text.find(end, at + 1);
        at = found == std::string_view::npos ? text.size() : found + end.size();
    };
    while ((at = text.find('<', at)) != std::string_view::npos) {
        const std::string_view tag = text.substr(at);
        if (tag.starts_with("<!--")) {
            skipPast("-->");
        } else if (tag.starts_with("<![CDATA[")) {
            skipPast("]]>");
        } else if (tag.starts_with("<?") || tag.starts_with("<!")) {
            skipPast(">");
        } else if (tag.starts_with("</")) {
            skipPast(">");
            if (depth > 0) --depth;
        } else {
            const std::size_t close = text.find('>', at + 1);
            if (close == std::string_view::npos) break;  // an unclosed tag, which libplist refuses
            if (++elements > maxPropertyListElements) return Shape::tooManyElements;
            if (text[close - 1] != '/' && ++depth > maxPropertyListDepth) return Shape::tooDeep;
            at = close + 1;
        }
    }
    return Shape::within;
}

// A binary property list's object table, read only as far as nesting goes.
class BinaryObjects {
public:
    explicit BinaryObjects(std::string_view bytes) : bytes_(bytes) {
        constexpr std::size_t header = 8, trailer = 32;
        if (bytes.size() < header + trailer) return;
        const std::size_t end = bytes.size() - trailer;
        offsetSize_ = byte(end + 6);
        refSize_ = byte(end + 7);
        count_ = number(end + 8, 8);
        top_ = number(end + 16, 8);
        const std::uint64_t table = number(end + 24, 8);
        valid_ = offsetSize_ >= 1 && offsetSize_ <= 8 && refSize_ >= 1 && refSize_ <= 8 && top_ < count_ &&
                 table >= header && table <= end && count_ <= (end - table) / offsetSize_;
        table_ = table;
    }

    bool valid() const { return valid_; }
    std::uint64_t count() const { return count_; }
    std::uint64_t top() const { return top_; }

    // The objects an array, set or dictionary refers to; none for other objects;
    // absent when the object cannot be read.
    std::optional<std::vector<std::uint64_t>> children(std::uint64_t object) const {
        const std::uint64_t offset = number(table_ + object * offsetSize_, offsetSize_);
        if (offset < 8 || offset >= table_) return std::nullopt;
        const unsigned marker = byte(offset);
        const unsigned type = marker >> 4;
        if (type < 0xA || type > 0xD) return std::vector<std::uint64_t>{};
        std::uint64_t items = marker & 0xF;
        std::uint64_t at = offset + 1;
        if (items == 0xF) {  // the count follows as an integer object
            if (at >= table_ || byte(at) >> 4 != 1 || (byte(at) & 0xF) > 3) return std::nullopt;
            const unsigned size = 1u << (byte(at) & 0xF);
            if (at + 1 + size > table_) return std::nullopt;
            items = number(at + 1, size);
            at += 1 + size;
        }
        if (type == 0xD) {  // keys, then values
            if (items > table_) return std::nullopt;
            items *= 2;
        }
        if (items > (table_ - at) / refSize_) return std::nullopt;
        std::vector<std::uint64_t> refs(items);
        for (std::uint64_t i = 0; i < items; ++i) {
            refs[i] = number(at + i * refSize_, refSize_);
            if (refs[i] >= count_) return std::nullopt;
        }
        return refs;
    }

private:
    unsigned byte(std::uint64_t at) const { return static_cast<unsigned char>(bytes_[at]); }
    std::uint64_t number(std::uint64_t at, unsigned size) const {
        std::uint64_t value = 0;
        for (unsigned i = 0; i < size; ++i) value = value << 8 | byte(at + i);
        return value;
    }

    std::string_view bytes_;
    bool valid_ = false;
    unsigned offsetSize_ = 0;
    unsigned refSize_ = 0;
    std::uint64_t count_ = 0;
    std::uint64_t top_ = 0;
    std::uint64_t table_ = 0;  // where the objects end
};

// The nesting and the elements of a binary property list as libplist would build it:
// an object that several refer to is built once for each. Counted no further than one
// past either limit; `unreadable` when its objects cannot be followed or refer to
// themselves in a loop.
Shape binaryShape(std::string_view bytes) {
    constexpr std::size_t depthLimit = maxPropertyListDepth, elementLimit = maxPropertyListElements;
    const BinaryObjects objects(bytes);
    if (!objects.valid()) return Shape::unreadable;
    if (objects.count() > elementLimit) return Shape::tooManyElements;
    // Each object's height and element count are remembered, so it is walked once.
    constexpr std::uint16_t unknown = 0, onPath = UINT16_MAX;
    static_assert(depthLimit + 1 < onPath);
    std::vector<std::uint16_t> height(objects.count(), unknown);
    std::vector<std::size_t> elements(objects.count(), 0);
    struct Frame {
        std::uint64_t object;
        std::vector<std::uint64_t> children;
        std::size_t next = 0;
        std::size_t height = 1;
        std::size_t elements = 1;
    };
    std::vector<Frame> path;
    auto enter = [&](std::uint64_t object) {
        auto children = objects.children(object);
        if (!children) return false;
        height[object] = onPath;
        path.push_back({object, std::move(*children)});
        return true;
    };
    auto add = [&](Frame& frame, std::size_t childHeight, std::size_t childElements) {
        frame.height = std::max(frame.height, childHeight + 1);
        frame.elements = std::min(frame.elements + childElements, elementLimit + 1);
    };
    if (!enter(objects.top())) return Shape::unreadable;
    while (!path.empty()) {
        if (path.size() > depthLimit) return Shape::tooDeep;
        Frame& frame = path.back();
        if (frame.elements > elementLimit) return Shape::tooManyElements;
        if (frame.next == frame.children.size()) {
            height[frame.object] = static_cast<std::uint16_t>(std::min(frame.height, depthLimit + 1));
            elements[frame.object] = frame.elements;
            const Frame done = std::move(frame);
            path.pop_back();
            if (!path.empty()) add(path.back(), done.height, done.elements);
            continue;
        }
        const std::uint64_t child = frame.children[frame.next++];
        if (height[child] == onPath) return Shape::unreadable;
        if (height[child] == unknown) {
            if (!enter(child)) return Shape::unreadable;
        } else {
            add(frame, height[child], elements[child]);
        }
    }
    // Reached through objects walked before, the nesting may exceed what the path did.
    return height[objects.top()] > depthLimit ? Shape::tooDeep : Shape::within;
}

bool needsQuotes(const std::string& text) {
    if (text.empty()) return true;
    for (unsigned char c : text)
        if (!std::isalnum(c) && c != '_' && c != '.' && c != '/') return true;
    return false;
}

// How `describe` writes each kind of value.
struct Describer {
    std::string operator()(const std::string& text) const {
        if (!needsQuotes(text)) return text;
        std::string quoted = "\"";
        for (char c : text) {
            if (c == '"' || c == '\\') quoted += '\\';
            quoted += c;
        }
        return quoted + "\"";
    }
    std::string operator()(bool flag) const { return flag ? "1" : "0"; }
    std::string operator()(std::int64_t number) const { return std::to_string(number); }
    std::string operator()(double number) const {
        std::ostringstream out;
        out << number;
        return out.str();
    }
    std::string operator()(const Data& data) const {
        static const char* digits = "0123456789abcdef";
        std::string hex = "<";
        for (size_t i = 0; i < data.size(); ++i) {
            if (i && i % 4 == 0) hex += ' ';
            hex += digits[data[i] >> 4];
            hex += digits[data[i] & 15];
        }
        return hex + ">";
    }
    std::string operator()(const Array& array) const {
        std::string text = "(";
        for (size_t i = 0; i < array.size(); ++i) text += (i ? ", " : "") + describe(array[i]);
        return text + ")";
    }
    std::string operator()(const Dictionary& dictionary) const {
        std::string text = "{";
        for (const auto& [key, element] : dictionary) text += (*this)(key) + " = " + describe(element) + "; ";
        return text + "}";
    }
};

// What reading an open file came to: the errno of what failed, whether it is a
// regular file and beyond the size limit, and the bytes read.
struct FileContents {
    int error = 0;
    bool regular = false;
    bool tooLarge = false;
    std::string bytes;
};

// Reads until the end of the file or one chunk past the limit; the errno of a read
// that failed, else 0.
int readUntilEndOrPastLimit(int file, std::string& bytes) {
    char chunk[1 << 16];
    while (bytes.size() <= maxPropertyListBytes) {
        const ssize_t got = ::read(file, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno;
        if (got == 0) break;
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    return 0;
}

// Only a regular file is read, and only when it reports a size within the limit. The
// size it reports is not trusted: one that grows while it is read stops one chunk
// past the limit.
FileContents readOpenFile(int file) {
    FileContents contents;
    struct stat status {};
    if (::fstat(file, &status) != 0) {
        contents.error = errno;
        return contents;
    }
    if (S_ISDIR(status.st_mode)) {
        contents.error = EISDIR;
        return contents;
    }
    contents.regular = S_ISREG(status.st_mode);
    contents.tooLarge = static_cast<std::uintmax_t>(status.st_size) > maxPropertyListBytes;
    if (!contents.regular || contents.tooLarge) return contents;
    contents.bytes.reserve(static_cast<std::size_t>(status.st_size));
    contents.error = readUntilEndOrPastLimit(file, contents.bytes);
    contents.tooLarge = contents.bytes.size() > maxPropertyListBytes;
    return contents;
}

}  // namespace

std::string tooDeepReason() { return "nested deeper than " + std::to_string(maxPropertyListDepth) + " levels"; }
std::string tooManyElementsReason() { return "more than " + std::to_string(maxPropertyListElements) + " elements"; }
std::string tooLargeReason() { return "larger than " + std::to_string(maxPropertyListBytes >> 20) + " MiB"; }

std::string describe(const Value& value) {
    return std::visit(Describer{}, static_cast<const Value::variant&>(value));
}

std::optional<Value> parsePropertyList(std::string_view bytes, std::string* error) {
    auto refuse = [error](std::string reason) -> std::optional<Value> {
        if (error) *error = std::move(reason);
        return std::nullopt;
    };
    if (bytes.size() > maxPropertyListBytes) return refuse(tooLargeReason());
    // libplist recurses once per level and builds every element, so both are checked
    // before it reads.
    const Shape shape = bytes.starts_with("bplist") ? binaryShape(bytes) : xmlShape(bytes);
    if (shape == Shape::tooDeep) return refuse(tooDeepReason());
    if (shape == Shape::tooManyElements) return refuse(tooManyElementsReason());
    plist_t root = nullptr;
    if (shape == Shape::within && !bytes.empty())
        plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    if (!root) return refuse("not a property list");
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

std::optional<std::string> readFileWithinLimit(const std::filesystem::path& path, ReadError* error) {
    auto fail = [&](ReadError::Kind kind, const std::string& reason) -> std::optional<std::string> {
        if (error) *error = {kind, path.string() + ": " + reason};
        return std::nullopt;
    };
    // Not blocking, so that a FIFO is seen for what it is before anyone waits on it.
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (file < 0) return fail(errno == ENOENT ? ReadError::Kind::missing : ReadError::Kind::unreadable, std::strerror(errno));
    FileContents contents = readOpenFile(file);
    ::close(file);
    if (contents.error) return fail(ReadError::Kind::unreadable, std::strerror(contents.error));
    if (!contents.regular) return fail(ReadError::Kind::unreadable, "not a regular file");
    if (contents.tooLarge) return fail(ReadError::Kind::malformed, tooLargeReason());
    return std::move(contents.bytes);
}

std::optional<Value> readPropertyList(const std::filesystem::path& path, ReadError* error) {
    auto bytes = readFileWithinLimit(path, error);
    if (!bytes) return std::nullopt;
    std::string reason;
    auto value = parsePropertyList(*bytes, &reason);
    if (!value && error) *error = {ReadError::Kind::malformed, path.string() + ": " + reason};
    return value;
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
