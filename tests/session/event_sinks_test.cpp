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

void RaiseLinkOk(EventSinks& sinks) {
  sinks.Raise([](SMPPEvents& sink) { sink.LinkOk(); });
}

TEST(EventSinksTest, CallsSinksInSubscriptionOrderOncePerSubscription) {
  std::vector<std::string> log;
  NamedSink a("a", log), b("b", log), stranger("x", log);
  EventSinks sinks;
  sinks.Subscribe(a);
  sinks.Subscribe(b);
  sinks.Subscribe(a);
  sinks.Unsubscribe(stranger);
  RaiseLinkOk(sinks);
  EXPECT_EQ(log, (std::vector<std::string>{"a", "b"}));
}

TEST(EventSinksTest, SinkUnsubscribedDuringAnEventIsNotCalledAgainButOthersAre) {
  std::vector<std::string> log;
  NamedSink a("a", log), b("b", log), c("c", log);
  EventSinks sinks;
  sinks.Subscribe(a);
  sinks.Subscribe(b);
  sinks.Subscribe(c);
  a.on_event = [&] { sinks.Unsubscribe(b); };
  c.on_event = [&] { sinks.Unsubscribe(c); };
  RaiseLinkOk(sinks);
  RaiseLinkOk(sinks);
  EXPECT_EQ(log, (std::vector<std::string>{"a", "c", "a"}));
}

TEST(EventSinksTest, SinkSubscribedDuringAnEventHearsOnlyLaterEvents) {
  std::vector<std::string> log;
  NamedSink a("a", log), late("late", log);
  EventSinks sinks;
  sinks.Subscribe(a);
  a.on_event = [&] { sinks.Subscribe(late); };
  RaiseLinkOk(sinks);
  RaiseLinkOk(sinks);
  EXPECT_EQ(log, (std::vector<std::string>{"a", "a", "late"}));
}

}  // namespace
}  // namespace korvane::session
