#pragma once
// How work reaches the threaded socket workers, for the network layer only. Waking a
// sleeping worker costs the sender a system call, which would otherwise be paid for
// nearly every socket operation; so work added during one task of an owner's queue
// waits, and is handed off in batches of a few, the rest at the end of that task. Work
// added from outside the owner's queue is handed off at once.

#include "dispatch/Dispatch.h"

#include <cstddef>

namespace net::detail {

// Runs `task` on threaded worker `worker`, after the work handed off to it before.
void handOffToThreadWorker(dispatch::DispatchQueue& owner, std::size_t worker, dispatch::Task task);

}  // namespace net::detail
