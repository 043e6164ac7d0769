#pragma once
// Counts the files renamed into a folder, by name: the last step of every atomic
// write of a property list, so one count is one write.

#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

class FileReplacementCounter {
public:
    explicit FileReplacementCounter(const std::filesystem::path& folder)
        : descriptor_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        std::filesystem::create_directories(folder);
        // Moves out are watched too, or the kernel merges back-to-back moves in.
        inotify_add_watch(descriptor_, folder.c_str(), IN_MOVED_FROM | IN_MOVED_TO);
    }
    ~FileReplacementCounter() { close(descriptor_); }
    FileReplacementCounter(const FileReplacementCounter&) = delete;
    FileReplacementCounter& operator=(const FileReplacementCounter&) = delete;

    // Replacements of `name` since construction.
    int count(const std::string& name) {
        alignas(inotify_event) char buffer[4096];
        ssize_t length = 0;
        while ((length = read(descriptor_, buffer, sizeof buffer)) > 0) {
            for (const char* at = buffer; at < buffer + length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if ((event->mask & IN_MOVED_TO) && event->len > 0) ++counts_[event->name];
                at += sizeof(inotify_event) + event->len;
            }
        }
        return counts_[name];
    }

private:
    int descriptor_;
    std::map<std::string, int> counts_;
};
