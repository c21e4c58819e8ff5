#include <gtest/gtest.h>

#include <cstring>

#include "kav/events/ComponentReadyEvent.h"
#include "kav/events/ConfigChangeEvent.h"
#include "kav/events/ConfigCompleteEvent.h"
#include "kav/events/DioEvent.h"
#include "kav/events/OscillatorEvent.h"
#include "kav/events/PlugEvent.h"

namespace {

typedef ConfigChangeEvent::EventType_s Key;

TEST(ConfigChangeEventTest, FilterMatchingWithWildcardsOnEitherSide) {
  struct Case {
    Key filter, event;
    bool match;
  } const cases[] = {
      {{5, 0}, {5, 0}, true},  {{5, 0}, {0, 0}, true},  {{5, 0}, {6, 0}, false}, {{5, 0}, {5, 1}, false},
      {{5, 2}, {5, 0}, true},  {{5, 2}, {5, 1}, true},  {{5, 2}, {6, 1}, false}, {{0, 1}, {7, 1}, true},
      {{0, 1}, {9, 1}, true},  {{0, 1}, {9, 0}, false}, {{0, 2}, {3, 3}, true},  {{4, 3}, {4, 0}, false},
      {{4, 3}, {4, 3}, true},  {{0, 0}, {0, 1}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "{" << c.filter.slotId << "," << c.filter.state << "} vs {" << c.event.slotId
                                      << "," << c.event.state << "}");
    EXPECT_EQ(c.match, c.filter == c.event);
    EXPECT_EQ(c.match, c.event == c.filter) << "symmetric";
    EXPECT_EQ(!c.match, c.filter != c.event);
  }
  Key k{5, 1};
  EXPECT_TRUE(k == k);
}

TEST(EventTypesTest, DefaultsAndNullPayloads) {
  PlugEvent plug;
  EXPECT_EQ(0u, plug.getSlotId());
  EXPECT_EQ(0u, plug.getPlugId());
  EXPECT_TRUE(plug.isPlugEvent());
  EXPECT_EQ(12u, plug.dataSize());
  DioEvent dio;
  EXPECT_EQ(0u, dio.getEventId());
  EXPECT_EQ(0u, dio.getP1());
  EXPECT_EQ(16u, dio.dataSize());
  OscillatorEvent osc(static_cast<const void*>(nullptr));
  EXPECT_EQ(3u, static_cast<unsigned>(osc.getEventType()));
  EXPECT_EQ(0u, osc.getSlotId());
  EXPECT_EQ(8u, osc.dataSize());
  ConfigChangeEvent change;
  EXPECT_EQ(0u, change.getSlotId());
  EXPECT_EQ(3u, static_cast<unsigned>(change.getConfigurationState()));
  EXPECT_FALSE(change.isConfigEvent());
  EXPECT_FALSE(change.isUnconfigEvent());
  EXPECT_EQ(8u, change.dataSize());
  ConfigCompleteEvent complete(static_cast<const void*>(nullptr));
  EXPECT_EQ(2u, static_cast<unsigned>(complete.getEventType()));
  EXPECT_EQ(4u, complete.dataSize());
  ComponentReadyEvent ready;
  EXPECT_EQ(0u, ready.getComponentId());
  EXPECT_EQ(4u, ready.dataSize());
}

// Events cross the queues as bytes: rebuilding from the payload gives the
// same event.
TEST(EventTypesTest, PayloadRoundTripAndFilterKeys) {
  PlugEvent unplug(3, 77, PlugEvent::UNPLUG);
  PlugEvent plugCopy(unplug.dataPointer());
  EXPECT_EQ(3u, plugCopy.getSlotId());
  EXPECT_EQ(3u, plugCopy.getEventType());
  EXPECT_EQ(77u, plugCopy.getPlugId());
  EXPECT_TRUE(plugCopy.isUnplugEvent());
  EXPECT_EQ(2u, static_cast<unsigned>(plugCopy.getPlugType()));
  uint32_t words[3];
  std::memcpy(words, unplug.dataPointer(), sizeof(words));
  EXPECT_EQ(3u, words[0]);
  EXPECT_EQ(77u, words[1]);
  EXPECT_EQ(2u, words[2]);

  DioEvent dio(0x1234, 9, 8, 7);
  const ChpiEvent& base = dio;
  DioEvent dioCopy(base.dataPointer());
  EXPECT_EQ(0x1234u, dioCopy.getEventType());
  EXPECT_EQ(0x1234u, dioCopy.getEventId());
  EXPECT_EQ(9u, dioCopy.getP1());
  EXPECT_EQ(16u, base.dataSize());

  OscillatorEvent osc(OscillatorEvent::DEFAULT_OSCILLATOR_EVENT, 0x10001);
  EXPECT_EQ(0x10001u, OscillatorEvent(osc.dataPointer()).getSlotId());

  ConfigChangeEvent change(12, ConfigChangeEvent::UNCONFIGURED);
  ConfigChangeEvent changeCopy(change.dataPointer());
  EXPECT_TRUE(changeCopy.isUnconfigEvent());
  EXPECT_EQ(12u, changeCopy.getEventType().slotId);
  EXPECT_EQ(1u, changeCopy.getEventType().state);

  ConfigCompleteEvent complete(ConfigCompleteEvent::MINIMUM_CONFIG_COMPLETE);
  EXPECT_EQ(ConfigCompleteEvent::MINIMUM_CONFIG_COMPLETE, ConfigCompleteEvent(complete.dataPointer()).getEventType());

  ComponentReadyEvent ready(344);
  EXPECT_EQ(344u, ComponentReadyEvent(ready.dataPointer()).getEventType());

  PlugEvent assigned;
  assigned = unplug;
  EXPECT_EQ(77u, assigned.getPlugId());
}

}  // namespace
