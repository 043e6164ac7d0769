#include "NotificationEvent.h"

#include "ui/Application.h"

#include <array>
#include <utility>

namespace app {
namespace {

constexpr std::array<std::pair<NotificationEvent, std::string_view>, 10> rawValues{{
    {NotificationEvent::deviceWasRegistered, "deviceWasRegistered"},
    {NotificationEvent::deviceWasDeregistered, "deviceWasDeregistered"},
    {NotificationEvent::appEnteredBackground, "appEnteredBackground"},
    {NotificationEvent::appWillEnterForeground, "appWillEnterForeground"},
    {NotificationEvent::borrowRequestWasSent, "borrowRequestWasSent"},
    {NotificationEvent::accessRequestWasSent, "accessRequestWasSent"},
    {NotificationEvent::deviceWasBorrowed, "deviceWasBorrowed"},
    {NotificationEvent::deviceDataUpdated, "deviceDataUpdated"},
    {NotificationEvent::purchaseMade, "purchaseMade"},
    {NotificationEvent::purchaseRestored, "purchaseRestored"},
}};

}  // namespace

std::optional<NotificationEvent> notificationEventFromRawValue(std::string_view raw) {
    for (const auto& [event, name] : rawValues)
        if (name == raw) return event;
    return std::nullopt;
}

std::string_view rawValue(NotificationEvent event) { return rawValues[static_cast<std::size_t>(event)].second; }

std::string notificationName(NotificationEvent event) {
    switch (event) {
    case NotificationEvent::appEnteredBackground: return ui::didEnterBackgroundNotification;
    case NotificationEvent::appWillEnterForeground: return ui::willEnterForegroundNotification;
    default: return std::string(rawValue(event));
    }
}

void observe(const void* observer, NotificationEvent event, foundation::NotificationCenter::Callback callback,
             const void* object) {
    foundation::NotificationCenter::defaultCenter().addObserver(observer, std::move(callback), notificationName(event), object);
}

void observe(const void* observer, const std::vector<NotificationEvent>& events,
             const foundation::NotificationCenter::Callback& callback, const void* object) {
    for (NotificationEvent event : events) observe(observer, event, callback, object);
}

void post(NotificationEvent event, const void* object) {
    foundation::NotificationCenter::defaultCenter().post(notificationName(event), object);
}

}  // namespace app
