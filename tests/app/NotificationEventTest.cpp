// App-wide events by name on the default notification centre.

#include "NotificationEvent.h"

#include "ui/Application.h"

#include <gtest/gtest.h>

namespace {

using app::NotificationEvent;

TEST(NotificationEvents, RawValuesAndNames) {
    EXPECT_EQ(app::notificationEventFromRawValue("deviceWasRegistered"), NotificationEvent::deviceWasRegistered);
    EXPECT_FALSE(app::notificationEventFromRawValue("DeviceWasRegistered"));
    EXPECT_FALSE(app::notificationEventFromRawValue(""));
    EXPECT_EQ(app::rawValue(NotificationEvent::purchaseRestored), "purchaseRestored");
    EXPECT_EQ(app::notificationName(NotificationEvent::appEnteredBackground), ui::didEnterBackgroundNotification);
    EXPECT_EQ(app::notificationName(NotificationEvent::appWillEnterForeground), ui::willEnterForegroundNotification);
    EXPECT_EQ(app::notificationName(NotificationEvent::deviceDataUpdated), "deviceDataUpdated");
}

TEST(NotificationEvents, ObserveAndPost) {
    int observer = 0;
    std::vector<std::string> seen;
    auto record = [&](const foundation::Notification& n) {
        seen.push_back(n.name);
        EXPECT_EQ(n.object, nullptr);
    };
    app::observe(&observer, {NotificationEvent::purchaseMade, NotificationEvent::purchaseMade,
                             NotificationEvent::appWillEnterForeground}, record);
    app::post(NotificationEvent::purchaseMade);
    EXPECT_EQ(seen, (std::vector<std::string>{"purchaseMade", "purchaseMade"})) << "registered twice";

    seen.clear();
    foundation::NotificationCenter::defaultCenter().post(ui::willEnterForegroundNotification);
    EXPECT_EQ(seen, (std::vector<std::string>{ui::willEnterForegroundNotification}));

    // An observer bound to one sender ignores others.
    int sender = 0, other = 0, picky = 0;
    int count = 0;
    app::observe(&picky, NotificationEvent::deviceWasBorrowed, [&](const foundation::Notification&) { ++count; }, &sender);
    app::post(NotificationEvent::deviceWasBorrowed, &other);
    app::post(NotificationEvent::deviceWasBorrowed, &sender);
    EXPECT_EQ(count, 1);

    foundation::NotificationCenter::defaultCenter().removeObserver(&observer);
    foundation::NotificationCenter::defaultCenter().removeObserver(&picky);
    seen.clear();
    app::post(NotificationEvent::purchaseMade);
    EXPECT_TRUE(seen.empty());
}

}  // namespace
