#include "session/event_sinks.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace korvane::session {
namespace {

// A sink that logs its name and can run an action when it is called.
struct NamedSink : SMPPEvents {
  NamedSink(std::string name, std::vector<std::string>& log) : name(std::move(name)), log(log) {}
  void LinkOk() override {
    log.push_back(name);
    if (on_event) on_event();
  }
  std::string name;
  std::vector<std::string>& log;
  std::function<void()> on_event;
};

class EventSinksTest : public ::testing::Test {
 protected:
  void RaiseLinkOk() {
    sinks.Raise([](SMPPEvents& sink) { sink.LinkOk(); });
  }
  std::vector<std::string> log;
  NamedSink a{"a", log}, b{"b", log}, c{"c", log};
  EventSinks sinks;
};

TEST_F(EventSinksTest, CallsSinksInSubscriptionOrderOncePerSubscription) {
  sinks.Subscribe(a);
  sinks.Subscribe(b);
  sinks.Subscribe(a);
  sinks.Unsubscribe(c);
  RaiseLinkOk();
  EXPECT_EQ(log, (std::vector<std::string>{"a", "b"}));
}

TEST_F(EventSinksTest, ChangesMadeDuringAnEventApplyAtOnceToUnsubscribingAndLaterToSubscribing) {
  sinks.Subscribe(a);
  sinks.Subscribe(b);
  a.on_event = [&] {
    sinks.Unsubscribe(b);  // not called again, even in this event
    sinks.Subscribe(c);    // hears only later events
  };
  RaiseLinkOk();
  a.on_event = nullptr;
  c.on_event = [&] { sinks.Unsubscribe(c); };
  RaiseLinkOk();
  RaiseLinkOk();
  EXPECT_EQ(log, (std::vector<std::string>{"a", "a", "c", "a"}));
}

// The same rules with one sink, which is called without a snapshot.
TEST_F(EventSinksTest, ASoleSinkThatSubscribesOthersDuringAnEventIsTheOnlyOneCalled) {
  sinks.Subscribe(a);
  a.on_event = [&] {
    sinks.Subscribe(b);
    sinks.Unsubscribe(a);
  };
  RaiseLinkOk();
  RaiseLinkOk();
  EXPECT_EQ(log, (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace korvane::session
