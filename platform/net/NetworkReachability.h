#pragma once
// Reachability of a target as the system's reachability references report it: a
// flags word read from the kernel's routing tables, and change callbacks delivered
// on a dispatch queue when link, address or route events arrive over rtnetlink.
// Those events come from one subscription for the whole process, read on a thread
// of its own. A failure comes back as an Error whose code is the system's error number.

#include "net/Result.h"

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace dispatch {
class DispatchQueue;
}

namespace net {

using ReachabilityFlags = std::uint32_t;

namespace reachability {
inline constexpr ReachabilityFlags transientConnection = 1u << 0;
inline constexpr ReachabilityFlags reachable = 1u << 1;
inline constexpr ReachabilityFlags connectionRequired = 1u << 2;
inline constexpr ReachabilityFlags connectionOnTraffic = 1u << 3;
inline constexpr ReachabilityFlags interventionRequired = 1u << 4;
inline constexpr ReachabilityFlags connectionOnDemand = 1u << 5;
inline constexpr ReachabilityFlags isLocalAddress = 1u << 16;
inline constexpr ReachabilityFlags isDirect = 1u << 17;
inline constexpr ReachabilityFlags isWWAN = 1u << 18;
}  // namespace reachability

// One reachability reference. Implementations are thread-safe.
class ReachabilityTarget {
public:
    using Callback = std::function<void(ReachabilityFlags)>;
    virtual ~ReachabilityTarget() = default;

    // Installs the change callback; an empty one removes it.
    virtual Result<> setCallback(Callback callback) = 0;
    // Starts delivering changes on `queue`; nullptr stops. The queue must outlive
    // the delivery (stop before destroying it).
    virtual Result<> setDispatchQueue(dispatch::DispatchQueue* queue) = 0;
    // Reads the current flags.
    virtual Result<ReachabilityFlags> getFlags() = 0;
};

// How many batches of link, address and route changes the process has read so far.
// The count has grown by the time any target delivers the change, so a cache of
// something the changes affect, read again whenever the count moves, is never older
// than the reachability events. nullopt when changes cannot be watched. The first
// call of this or of a target's setDispatchQueue starts the subscription.
std::optional<std::uint64_t> networkChangeCount();

// Reachability of an address; the all-zero address stands for the default route:
// reachable when a default route leaves through an interface that is up and running.
// Fails for an unsupported address family.
Result<std::shared_ptr<ReachabilityTarget>> makeReachabilityWithAddress(const sockaddr& address);
// Reachability of a host name, resolved whenever the flags are read. Fails for an
// empty name.
Result<std::shared_ptr<ReachabilityTarget>> makeReachabilityWithName(const std::string& hostname);

}  // namespace net
