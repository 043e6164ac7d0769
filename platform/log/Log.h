#pragma once
// Unified log: records carry a subsystem, a category and a level. Format strings use
// printf-style conversions; "%{public}s" and "%{public}d" show their value, while an
// unmarked or "%{private}" string or object conversion (%s, %@) is recorded as
// "<private>". Scalars without a marker are shown, as the system's log does.
//
// Records go to journald where it runs and to stderr otherwise, with repeats
// collapsed (RepeatCollapser) and the control characters of their messages written
// escaped ("\n", "\r", "\t", else "\x" and two hexadecimal digits). Debug records
// are dropped unless the level filter lets them through (environment variable
// BRIMVALE_LOG_LEVEL=debug|info|error, or setMinimumLevel). Tests capture records,
// as they were made, with a MemorySink.

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace oslog {

enum class Level { debug, info, error };

// One format argument, converted at the call site.
class Arg {
public:
    enum class Kind { text, integer, unsignedInteger, real };

    Arg(std::string_view value) : kind_(Kind::text), text_(value) {}
    Arg(const std::string& value) : kind_(Kind::text), text_(value) {}
    Arg(const char* value) : kind_(Kind::text), text_(value ? value : "(null)") {}
    template <class T>
        requires std::is_integral_v<T> && std::is_signed_v<T>
    Arg(T value) : kind_(Kind::integer), integer_(value) {}
    template <class T>
        requires std::is_integral_v<T> && std::is_unsigned_v<T> && (!std::is_same_v<T, bool>)
    Arg(T value) : kind_(Kind::unsignedInteger), unsigned_(value) {}
    Arg(bool value) : kind_(Kind::integer), integer_(value ? 1 : 0) {}
    Arg(double value) : kind_(Kind::real), real_(value) {}

    Kind kind() const { return kind_; }
    std::string_view text() const { return text_; }
    std::int64_t integer() const;
    std::uint64_t unsignedInteger() const;
    double real() const;

private:
    Kind kind_;
    std::string_view text_;
    std::int64_t integer_ = 0;
    std::uint64_t unsigned_ = 0;
    double real_ = 0;
};

// Expands a format string with the arguments, honouring privacy markers.
// Missing arguments expand to nothing; surplus arguments are ignored.
std::string format(std::string_view format, std::initializer_list<Arg> args);

struct Record {
    Level level;
    std::string subsystem;
    std::string category;
    std::string message;
    bool operator==(const Record&) const = default;
};

// Collapses repeated records as the system's log does, so that a flood of one event
// costs a line or two a second: a record equal to the last of its subsystem and
// category within a second of that one's first showing is counted, not written. The
// count is written as "last message repeated N times" (same level, subsystem and
// category) before the category's next written record, or once the second is over
// before any later record.
class RepeatCollapser {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration window = std::chrono::seconds(1);

    // What to write now for `record` arriving at `now`, in order.
    std::vector<Record> pass(const Record& record, Clock::time_point now);
    // The counts not yet written.
    std::vector<Record> flush();

private:
    struct Last {
        Record record;
        Clock::time_point shown;
        std::uint64_t repeats = 0;
    };
    static Record summary(Last& last);

    std::map<std::pair<std::string, std::string>, Last> last_;
};

// Records at or above this level are kept. Default: info, or BRIMVALE_LOG_LEVEL.
void setMinimumLevel(Level level);
Level minimumLevel();
inline bool isEnabled(Level level) { return level >= minimumLevel(); }

class Logger {
public:
    Logger(std::string subsystem, std::string category)
        : subsystem_(std::move(subsystem)), category_(std::move(category)) {}

    template <class... Args>
    void info(std::string_view fmt, const Args&... args) const {
        log(Level::info, fmt, args...);
    }
    template <class... Args>
    void debug(std::string_view fmt, const Args&... args) const {
        log(Level::debug, fmt, args...);
    }
    template <class... Args>
    void error(std::string_view fmt, const Args&... args) const {
        log(Level::error, fmt, args...);
    }
    template <class... Args>
    void log(Level level, std::string_view fmt, const Args&... args) const {
        if (isEnabled(level)) write(level, format(fmt, {Arg(args)...}));
    }

    // Records an already formatted message.
    void write(Level level, std::string message) const;

    const std::string& subsystem() const { return subsystem_; }
    const std::string& category() const { return category_; }

private:
    std::string subsystem_;
    std::string category_;
};

class FailureWriter;

// One kind of failure that may come many times a second (a refused query, a socket
// that cannot be made): written at error level at once, then at most once a second,
// each line with the number of such failures since the line before, as
// "<reason> (N times since the last line)" under the reason of the latest failure it
// counts (a line that counts one failure is the reason alone). A burst's count is
// written within about a second after the burst ends, also when no later failure
// comes: a process-wide writer thread, started with the process and never destroyed,
// sleeps until the earliest count is due. A FailureLog destroyed with a count not yet
// written writes it; flush() writes every such count. Any thread.
//
// Locks: the writer's lock is taken before a FailureLog's, never after it; add()
// takes them one after the other, never both.
class FailureLog {
public:
    explicit FailureLog(Logger logger) : logger_(std::move(logger)) {}
    ~FailureLog();
    FailureLog(const FailureLog&) = delete;
    FailureLog& operator=(const FailureLog&) = delete;

    void add(std::string_view reason);

private:
    friend class FailureWriter;
    using Clock = std::chrono::steady_clock;
    // The line for the failures not yet written, if any, as written at `now`, after
    // which the writer holds no due time for this log; with `later`, and a line
    // written less than a second ago, no line but `later` set to when it is due.
    // Under the writer's lock.
    std::optional<Record> takeUnwritten(Clock::time_point now, std::optional<Clock::time_point>* later);
    Record line(std::string_view reason, std::uint64_t count) const;

    Logger logger_;
    std::mutex mutex_;
    std::optional<Clock::time_point> lastLine_;
    std::uint64_t unwritten_ = 0;
    std::string unwrittenReason_;  // the latest unwritten failure's
    bool scheduled_ = false;       // the writer holds a due time for the unwritten ones
};

// The platform's network stack says why a connection, a datagram or a socket failed,
// under a name of its own, one category per kind ("tls", "connection", "udp",
// "descriptors"); never destroyed.
FailureLog& networkFailures(std::string_view kind);

// A plain message without subsystem or category, as a process's own diagnostic print.
void nsLog(std::string_view message);

// Writes the repeat counts and failure counts still pending, as a process does before
// it ends.
void flush();

// Captures every kept record, repeats included, while it exists (several may exist
// at once).
class MemorySink {
public:
    MemorySink();
    ~MemorySink();
    MemorySink(const MemorySink&) = delete;
    MemorySink& operator=(const MemorySink&) = delete;

    std::vector<Record> records() const;
    // True when some record's message contains `text`.
    bool contains(std::string_view text) const;
    void clear();

    void add(const Record& record);

private:
    mutable std::mutex mutex_;
    std::vector<Record> records_;
};

}  // namespace oslog
