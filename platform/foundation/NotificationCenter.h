#pragma once
// Process-wide notifications by name: observers register a callback for a name,
// optionally only for one sending object; posting calls them on the posting thread.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace foundation {

struct Notification {
    std::string name;
    const void* object = nullptr;
};

class NotificationCenter {
public:
    using Callback = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    // `observer` identifies the registration for removal; a null `object` matches any sender.
    void addObserver(const void* observer, Callback callback, const std::string& name, const void* object = nullptr);
    void removeObserver(const void* observer);
    void removeObserver(const void* observer, const std::string& name);
    void post(const std::string& name, const void* object = nullptr);

private:
    struct Entry {
        const void* observer;
        Callback callback;
        std::string name;
        const void* object;
    };
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

}  // namespace foundation
