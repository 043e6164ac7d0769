#pragma once
// A process-wide notification centre: observers register for a name and are
// called, on the posting thread, with every notification of that name.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

struct Notification {
    std::string name;
    const void* object = nullptr;  // the sender, compared by address only
};

class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;
    using Token = std::uint64_t;

    static NotificationCenter& defaultCenter();

    Token addObserver(std::string name, Observer observer);
    void removeObserver(Token token);
    void post(const std::string& name, const void* object);

private:
    std::mutex mutex_;
    Token next_ = 1;
    std::map<Token, std::pair<std::string, Observer>> observers_;
};
