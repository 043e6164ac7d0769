#include "foundation/NotificationCenter.h"

namespace foundation {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(const void* observer, Callback callback, const std::string& name,
                                     const void* object) {
    std::lock_guard lock(mutex_);
    entries_.push_back({observer, std::move(callback), name, object});
}

void NotificationCenter::removeObserver(const void* observer) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& e) { return e.observer == observer; });
}

void NotificationCenter::removeObserver(const void* observer, const std::string& name) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& e) { return e.observer == observer && e.name == name; });
}

void NotificationCenter::post(const std::string& name, const void* object) {
    std::vector<Callback> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : entries_)
            if (e.name == name && (!e.object || e.object == object)) matching.push_back(e.callback);
    }
    // Called without the lock, so observers may register or remove themselves.
    Notification notification{name, object};
    for (const auto& callback : matching) callback(notification);
}

}  // namespace foundation
