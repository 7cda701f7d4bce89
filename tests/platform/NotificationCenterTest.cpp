// Notification centre: delivery by name and in registration order, and
// observers that change while a notification is being delivered.
#include "mac/platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kw {
namespace {

TEST(NotificationCenterTest, DeliversToObserversOfTheNameInRegistrationOrder) {
  NotificationCenter center;
  std::vector<std::string> calls;
  int window = 7;
  center.addObserver(notification::kAddWindowToList, [&](const std::any& object) {
    calls.push_back("first:" + std::to_string(*std::any_cast<int*>(object)));
  });
  center.addObserver(notification::kRemoveWindowFromList, [&](const std::any&) { calls.push_back("remove"); });
  center.addObserver(notification::kAddWindowToList, [&](const std::any&) { calls.push_back("second"); });

  center.post(notification::kAddWindowToList, &window);
  EXPECT_EQ(calls, (std::vector<std::string>{"first:7", "second"}));

  calls.clear();
  center.post("noSuchNotification");
  center.post(std::string(notification::kAddWindowToList) + "X");  // names match exactly
  EXPECT_TRUE(calls.empty());

  // Removal stops delivery; unknown ids and empty handlers are harmless.
  const auto id = center.addObserver(notification::kEnteringText, [&](const std::any&) { calls.push_back("text"); });
  center.removeObserver(id);
  center.removeObserver(id);
  center.removeObserver(9999);
  EXPECT_EQ(center.addObserver(notification::kEnteringText, nullptr), 0u);
  center.post(notification::kEnteringText);
  EXPECT_TRUE(calls.empty());
}

TEST(NotificationCenterTest, ObserversChangingDuringAPost) {
  NotificationCenter center;
  std::vector<std::string> calls;
  NotificationCenter::ObserverId self = 0;
  NotificationCenter::ObserverId later = 0;

  // Removes itself and a later observer, and adds a new one. The counter lives
  // in the handler's captures: it must survive the handler's own removal.
  auto count = std::make_shared<int>(0);
  self = center.addObserver("n", [&, count](const std::any&) {
    center.removeObserver(self);
    center.removeObserver(later);
    center.addObserver("n", [&](const std::any&) { calls.push_back("added"); });
    ++*count;
    calls.push_back("self:" + std::to_string(*count));
  });
  later = center.addObserver("n", [&](const std::any&) { calls.push_back("later"); });

  center.post("n");
  EXPECT_EQ(calls, (std::vector<std::string>{"self:1"}));  // neither removed nor added ones
  calls.clear();
  center.post("n");
  EXPECT_EQ(calls, (std::vector<std::string>{"added"}));
}

TEST(NotificationCenterTest, HandlersMayPostAndKeepTheirOwnState) {
  NotificationCenter center;
  std::vector<std::string> calls;
  center.addObserver("outer", [&](const std::any&) {
    calls.push_back("outer");
    center.post("inner", std::string("payload"));
  });
  center.addObserver("inner",
                     [&](const std::any& object) { calls.push_back("inner:" + std::any_cast<std::string>(object)); });
  // A handler's mutable state is its own, not a copy made for each post.
  center.addObserver("outer", [&, posts = 0](const std::any&) mutable {
    ++posts;
    calls.push_back("count:" + std::to_string(posts));
  });

  center.post("outer");
  center.post("outer");
  EXPECT_EQ(calls,
            (std::vector<std::string>{"outer", "inner:payload", "count:1", "outer", "inner:payload", "count:2"}));
}

}  // namespace
}  // namespace kw
