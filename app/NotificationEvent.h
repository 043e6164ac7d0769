#pragma once
// App-wide events announced and observed through the default notification centre.

#include "foundation/NotificationCenter.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

enum class NotificationEvent {
    deviceWasRegistered,
    deviceWasDeregistered,
    appEnteredBackground,
    appWillEnterForeground,
    borrowRequestWasSent,
    accessRequestWasSent,
    deviceWasBorrowed,
    deviceDataUpdated,
    purchaseMade,
    purchaseRestored,
};

// The case whose name is exactly `raw`.
std::optional<NotificationEvent> notificationEventFromRawValue(std::string_view raw);
std::string_view rawValue(NotificationEvent event);
// The raw value, except for the two events that are the application's own notifications.
std::string notificationName(NotificationEvent event);

void observe(const void* observer, NotificationEvent event, foundation::NotificationCenter::Callback callback,
             const void* object = nullptr);
void observe(const void* observer, const std::vector<NotificationEvent>& events,
             const foundation::NotificationCenter::Callback& callback, const void* object = nullptr);
void post(NotificationEvent event, const void* object = nullptr);

}  // namespace app
