#include "NotificationCenter.h"

#include <vector>

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(std::string name, Observer observer) {
    std::lock_guard lock(mutex_);
    observers_.emplace(next_, std::make_pair(std::move(name), std::move(observer)));
    return next_++;
}

void NotificationCenter::removeObserver(Token token) {
    std::lock_guard lock(mutex_);
    observers_.erase(token);
}

void NotificationCenter::post(const std::string& name, const void* object) {
    // Observers run unlocked so that they may add or remove observers.
    std::vector<Observer> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [token, entry] : observers_) {
            if (entry.first == name) matching.push_back(entry.second);
        }
    }
    const Notification notification{name, object};
    for (const auto& observer : matching) observer(notification);
}
