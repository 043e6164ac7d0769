#include "log/Log.h"

#include <systemd/sd-journal.h>
#include <pthread.h>
#include <signal.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <thread>
#include <utility>

namespace oslog {

std::int64_t Arg::integer() const {
    switch (kind_) {
    case Kind::integer: return integer_;
    case Kind::unsignedInteger: return static_cast<std::int64_t>(unsigned_);
    case Kind::real: return static_cast<std::int64_t>(real_);
    case Kind::text: return 0;
    }
    return 0;
}

std::uint64_t Arg::unsignedInteger() const {
    return kind_ == Kind::unsignedInteger ? unsigned_ : static_cast<std::uint64_t>(integer());
}

double Arg::real() const {
    switch (kind_) {
    case Kind::real: return real_;
    case Kind::integer: return static_cast<double>(integer_);
    case Kind::unsignedInteger: return static_cast<double>(unsigned_);
    case Kind::text: return 0;
    }
    return 0;
}

namespace {

template <class T>
std::string printfOne(const std::string& format, T value) {
    char small[128];
    int length = std::snprintf(small, sizeof small, format.c_str(), value);
    if (length < 0) return {};
    if (static_cast<size_t>(length) < sizeof small) return std::string(small, length);
    std::string large(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(large.data(), large.size(), format.c_str(), value);
    large.resize(static_cast<size_t>(length));
    return large;
}

std::string asText(const Arg& arg) {
    switch (arg.kind()) {
    case Arg::Kind::text: return std::string(arg.text());
    case Arg::Kind::integer: return std::to_string(arg.integer());
    case Arg::Kind::unsignedInteger: return std::to_string(arg.unsignedInteger());
    case Arg::Kind::real: return printfOne("%g", arg.real());
    }
    return {};
}

constexpr std::string_view kPrivate = "<private>";

// Expands one conversion. `flags` holds the flags, width and precision, `conversion`
// the final character.
std::string convert(const std::string& flags, char conversion, bool isPublic, bool isPrivate,
                    const Arg& arg) {
    switch (conversion) {
    case 's':
    case '@':
        if (!isPublic) return std::string(kPrivate);
        // Without a width or precision the text is taken whole, a NUL in it included.
        if (flags.empty()) return asText(arg);
        return printfOne("%" + flags + "s", asText(arg).c_str());
    case 'd':
    case 'i':
        if (isPrivate) return std::string(kPrivate);
        if (arg.kind() == Arg::Kind::text) return std::string(arg.text());
        return printfOne("%" + flags + "lld", static_cast<long long>(arg.integer()));
    case 'u':
    case 'x':
    case 'X':
    case 'o':
        if (isPrivate) return std::string(kPrivate);
        if (arg.kind() == Arg::Kind::text) return std::string(arg.text());
        return printfOne("%" + flags + "ll" + conversion,
                         static_cast<unsigned long long>(arg.unsignedInteger()));
    case 'c':
        if (isPrivate) return std::string(kPrivate);
        return printfOne("%" + flags + "c", static_cast<int>(arg.integer()));
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
        if (isPrivate) return std::string(kPrivate);
        return printfOne("%" + flags + conversion, arg.real());
    default:
        return {};
    }
}

}  // namespace

std::string format(std::string_view fmt, std::initializer_list<Arg> args) {
    std::string out;
    out.reserve(fmt.size() + 32);
    auto next = args.begin();
    size_t i = 0;
    while (i < fmt.size()) {
        char c = fmt[i++];
        if (c != '%' || i >= fmt.size()) {
            out += c;
            continue;
        }
        if (fmt[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        bool isPublic = false;
        bool isPrivate = false;
        if (fmt[i] == '{') {
            size_t close = fmt.find('}', i);
            if (close == std::string_view::npos) break;
            std::string_view marker = fmt.substr(i + 1, close - i - 1);
            isPublic = marker.find("public") != std::string_view::npos;
            isPrivate = marker.find("private") != std::string_view::npos;
            i = close + 1;
        }
        std::string flags;
        while (i < fmt.size() && std::string_view("-+ #0123456789.*").find(fmt[i]) != std::string_view::npos) {
            if (fmt[i] != '*') flags += fmt[i];
            ++i;
        }
        while (i < fmt.size() && std::string_view("hlqLzjt").find(fmt[i]) != std::string_view::npos) ++i;
        if (i >= fmt.size()) break;
        char conversion = fmt[i++];
        if (next == args.end()) continue;
        out += convert(flags, conversion, isPublic, isPrivate, *next++);
    }
    return out;
}

namespace {

Level levelFromEnvironment() {
    const char* value = std::getenv("BRIMVALE_LOG_LEVEL");
    std::string_view name = value ? value : "";
    if (name == "debug") return Level::debug;
    if (name == "error") return Level::error;
    return Level::info;
}

std::atomic<Level>& currentLevel() {
    static std::atomic<Level> level{levelFromEnvironment()};
    return level;
}

struct Sinks {
    std::mutex mutex;
    std::vector<MemorySink*> memory;
};

// One collapser for the process; its lock also keeps the written lines in order.
struct Output {
    std::mutex mutex;
    RepeatCollapser repeats;
};

Output& output() {
    // Never destroyed: threads and static destructors may still log while the process ends.
    static Output& instance = *new Output;
    return instance;
}

Sinks& sinks() {
    // Never destroyed, like the output.
    static Sinks& instance = *new Sinks;
    return instance;
}

bool journaldRuns() {
    static const bool runs = std::filesystem::exists("/run/systemd/journal/socket");
    return runs;
}

const char* levelName(Level level) {
    switch (level) {
    case Level::debug: return "Debug";
    case Level::info: return "Info";
    case Level::error: return "Error";
    }
    return "";
}

int syslogPriority(Level level) {
    switch (level) {
    case Level::debug: return LOG_DEBUG;
    case Level::info: return LOG_INFO;
    case Level::error: return LOG_ERR;
    }
    return LOG_INFO;
}

// Control characters are written escaped, so that a value in a message can neither
// start a line that reads as a record of its own nor cut its record short; the
// backslash is escaped too, so that every printed line reads back to its message.
std::string escapedForPrinting(const std::string& text) {
    auto needsEscape = [](unsigned char c) { return c < 0x20 || c == 0x7f || c == '\\'; };
    if (std::none_of(text.begin(), text.end(), needsEscape)) return text;
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + 16);
    for (unsigned char c : text) {
        if (!needsEscape(c)) {
            out += static_cast<char>(c);
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out += {'\\', 'x', digits[c >> 4], digits[c & 15]};
        }
    }
    return out;
}

void writeToStderr(const Record& record, const std::string& message) {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t seconds = system_clock::to_time_t(now);
    auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    // One fprintf per record keeps concurrent records on lines of their own.
    std::fprintf(stderr, "%s.%03d [%d] <%s> [%s:%s] %s\n", stamp, static_cast<int>(millis),
                 static_cast<int>(getpid()), levelName(record.level), record.subsystem.c_str(),
                 record.category.c_str(), message.c_str());
}

void writeOut(const Record& record) {
    const std::string message = escapedForPrinting(record.message);
    if (journaldRuns()) {
        sd_journal_send("MESSAGE=%s", message.c_str(), "PRIORITY=%d", syslogPriority(record.level),
                        "SUBSYSTEM=%s", record.subsystem.c_str(), "CATEGORY=%s", record.category.c_str(), nullptr);
    } else {
        writeToStderr(record, message);
    }
}

}  // namespace

Record RepeatCollapser::summary(Last& last) {
    Record counted = last.record;
    counted.message = "last message repeated " + std::to_string(last.repeats) + (last.repeats == 1 ? " time" : " times");
    last.repeats = 0;
    return counted;
}

std::vector<Record> RepeatCollapser::pass(const Record& record, Clock::time_point now) {
    std::vector<Record> out;
    auto key = std::make_pair(record.subsystem, record.category);
    for (auto& [other, last] : last_)
        if (last.repeats > 0 && other != key && now - last.shown >= window) out.push_back(summary(last));
    auto found = last_.find(key);
    if (found != last_.end()) {
        Last& last = found->second;
        if (last.record == record && now - last.shown < window) {
            ++last.repeats;
            return out;
        }
        if (last.repeats > 0) out.push_back(summary(last));
        last = {record, now, 0};
    } else {
        last_.emplace(std::move(key), Last{record, now, 0});
    }
    out.push_back(record);
    return out;
}

std::vector<Record> RepeatCollapser::flush() {
    std::vector<Record> out;
    for (auto& [key, last] : last_)
        if (last.repeats > 0) out.push_back(summary(last));
    return out;
}

void setMinimumLevel(Level level) { currentLevel().store(level); }

Level minimumLevel() { return currentLevel().load(std::memory_order_relaxed); }

namespace {

// Hands a kept record to the sinks and the output.
void submit(const Record& record) {
    {
        auto& all = sinks();
        std::lock_guard lock(all.mutex);
        for (MemorySink* sink : all.memory) sink->add(record);
    }
    auto& out = output();
    std::lock_guard lock(out.mutex);
    for (const Record& line : out.repeats.pass(record, RepeatCollapser::Clock::now())) writeOut(line);
}

}  // namespace

void Logger::write(Level level, std::string message) const {
    if (!isEnabled(level)) return;
    submit(Record{level, subsystem_, category_, std::move(message)});
}

// The failure counts due later: one due time per FailureLog that holds unwritten
// failures, and the thread that writes them when it comes. Never destroyed.
class FailureWriter {
public:
    static FailureWriter& instance() {
        static FailureWriter& writer = *new FailureWriter;
        return writer;
    }

    void schedule(FailureLog* log, FailureLog::Clock::time_point due) {
        {
            std::lock_guard lock(mutex_);
            due_.emplace_back(log, due);
            start();
        }
        wake_.notify_one();
    }

    // The log's line for its unwritten failures; the writer forgets the log.
    std::optional<Record> forget(FailureLog* log) {
        std::lock_guard lock(mutex_);
        std::erase_if(due_, [log](const auto& entry) { return entry.first == log; });
        return log->takeUnwritten(FailureLog::Clock::now(), nullptr);
    }

    // Every line still due, due now or not.
    std::vector<Record> takeAll() { return take(false); }

private:
    // The lines due now, or all of them.
    std::vector<Record> take(bool dueOnly) {
        std::vector<Record> lines;
        std::lock_guard lock(mutex_);
        const auto now = FailureLog::Clock::now();
        std::erase_if(due_, [&](auto& entry) {
            if (dueOnly && entry.second > now) return false;
            std::optional<FailureLog::Clock::time_point> later;
            if (auto line = entry.first->takeUnwritten(now, dueOnly ? &later : nullptr))
                lines.push_back(std::move(*line));
            if (later) entry.second = *later;
            return !later;
        });
        return lines;
    }

    [[noreturn]] void run() {
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return !due_.empty(); });
                auto earliest = std::min_element(due_.begin(), due_.end(), [](const auto& a, const auto& b) {
                                    return a.second < b.second;
                                })->second;
                // Woken early by a new due time, or not: the earliest is looked at again.
                if (FailureLog::Clock::now() < earliest) {
                    wake_.wait_until(lock, earliest);
                    continue;
                }
            }
            // Written with no lock held.
            for (const Record& line : take(true)) submit(line);
        }
    }

    // The thread starts with the process (failureWriter below), before the failures it
    // counts can leave none to start with (a process out of descriptors or threads).
    // One that cannot start is tried again with the next count due; meanwhile each
    // count waits for the next failure of its kind, which writes it.
    FailureWriter() {
        std::lock_guard lock(mutex_);
        start();
    }
    void start() {
        if (started_) return;
        // With every signal blocked, which it keeps: it may start before main blocks the
        // stop signals that the process reads from a descriptor of its own.
        sigset_t all, previous;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &previous);
        try {
            std::thread([this] { run(); }).detach();
            started_ = true;
        } catch (const std::system_error&) {
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }

    std::mutex mutex_;  // before any FailureLog's
    std::condition_variable wake_;
    std::vector<std::pair<FailureLog*, FailureLog::Clock::time_point>> due_;
    bool started_ = false;
};

namespace {
[[maybe_unused]] FailureWriter& failureWriter = FailureWriter::instance();
}  // namespace

void flush() {
    for (const Record& line : FailureWriter::instance().takeAll()) submit(line);
    auto& out = output();
    std::lock_guard lock(out.mutex);
    for (const Record& line : out.repeats.flush()) writeOut(line);
}

void nsLog(std::string_view message) {
    static const Logger& plain = *new Logger("", "");
    plain.write(Level::info, std::string(message));
}

MemorySink::MemorySink() {
    auto& all = sinks();
    std::lock_guard lock(all.mutex);
    all.memory.push_back(this);
}

MemorySink::~MemorySink() {
    auto& all = sinks();
    std::lock_guard lock(all.mutex);
    std::erase(all.memory, this);
}

std::vector<Record> MemorySink::records() const {
    std::lock_guard lock(mutex_);
    return records_;
}

bool MemorySink::contains(std::string_view text) const {
    std::lock_guard lock(mutex_);
    return std::any_of(records_.begin(), records_.end(), [&](const Record& record) {
        return record.message.find(text) != std::string::npos;
    });
}

void MemorySink::clear() {
    std::lock_guard lock(mutex_);
    records_.clear();
}

void MemorySink::add(const Record& record) {
    std::lock_guard lock(mutex_);
    records_.push_back(record);
}

Record FailureLog::line(std::string_view reason, std::uint64_t count) const {
    std::string message(reason);
    if (count != 1) message += " (" + std::to_string(count) + " times since the last line)";
    return {Level::error, logger_.subsystem(), logger_.category(), std::move(message)};
}

void FailureLog::add(std::string_view reason) {
    std::uint64_t count = 0;
    Clock::time_point due;
    {
        std::lock_guard lock(mutex_);
        ++unwritten_;
        const auto now = Clock::now();
        if (lastLine_ && now - *lastLine_ < RepeatCollapser::window) {
            unwrittenReason_.assign(reason);
            if (scheduled_) return;
            scheduled_ = true;
            due = *lastLine_ + RepeatCollapser::window;
        } else {
            lastLine_ = now;
            count = std::exchange(unwritten_, 0);
        }
    }
    // Neither lock is held while the other is taken.
    if (count == 0) return FailureWriter::instance().schedule(this, due);
    submit(line(reason, count));
}

std::optional<Record> FailureLog::takeUnwritten(Clock::time_point now, std::optional<Clock::time_point>* later) {
    std::lock_guard lock(mutex_);
    if (unwritten_ > 0 && later && *lastLine_ + RepeatCollapser::window > now) {
        // A line was written since the due time was set (by add(), the writer late).
        *later = *lastLine_ + RepeatCollapser::window;
        return std::nullopt;
    }
    scheduled_ = false;
    if (unwritten_ == 0) return std::nullopt;
    lastLine_ = now;
    return line(unwrittenReason_, std::exchange(unwritten_, 0));
}

FailureLog::~FailureLog() {
    if (auto last = FailureWriter::instance().forget(this)) submit(*last);
}

FailureLog& networkFailures(std::string_view kind) {
    static std::mutex mutex;
    static auto& kinds = *new std::map<std::string, FailureLog, std::less<>>;
    std::lock_guard lock(mutex);
    auto found = kinds.find(kind);
    if (found == kinds.end())
        found = kinds.try_emplace(std::string(kind), Logger("com.brimvale.network", std::string(kind))).first;
    return found->second;
}

}  // namespace oslog
