#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "perc_abend.h"
#include "trace_ravo.h"

namespace {

std::vector<std::string> decode(trace_ravo_desc_t d) {
  std::vector<std::string> lines;
  trace_ravo_decode(d, [](void* c, const char* t) { static_cast<std::vector<std::string>*>(c)->push_back(t); }, &lines);
  return lines;
}

std::string textOf(const std::string& line) { return line.substr(line.find(": ") + 2); }

TEST(TraceRavo, RecordsDecodeToTheirText) {
  trace_ravo_desc_t d = nullptr;
  ASSERT_EQ(0, trace_ravo_init_buffer(&d, "TST1", 8192));
  const uint32_t args[] = {0x7002, static_cast<uint32_t>(-5), 42};
  trace_ravo_write_all(d, "rc=0x%08X delta=%d n=%u name=%s", 17, "slot", 3, args);
  auto lines = decode(d);
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ("rc=0x00007002 delta=-5 n=42 name=slot", textOf(lines[0]));
  EXPECT_NE(std::string::npos, lines[0].find(" 17: "));
  trace_ravo_desc_t again = nullptr;
  ASSERT_EQ(0, trace_ravo_init_buffer(&again, "TST1", 8192));
  EXPECT_EQ(d, again) << "a buffer is created once per name";
  EXPECT_EQ(d, trace_ravo_find_buffer("TST1"));
}

TEST(TraceRavo, RingKeepsTheNewestRecordsInOrder) {
  trace_ravo_desc_t d = nullptr;
  ASSERT_EQ(0, trace_ravo_init_buffer(&d, "TST2", 1024));
  for (uint32_t i = 0; i < 1000; ++i) {
    const uint32_t v[] = {i};
    // Records of changing length so that the end of the buffer is hit at odd offsets.
    trace_ravo_write_all(d, "n=%u %s", 1, (i % 3) ? "abcdefghijklmnop" : nullptr, 1, v);
  }
  auto lines = decode(d);
  ASSERT_FALSE(lines.empty());
  ASSERT_LT(lines.size(), 1000u);
  for (size_t k = 0; k < lines.size(); ++k) {
    unsigned n = 1000 - static_cast<unsigned>(lines.size()) + static_cast<unsigned>(k);
    EXPECT_EQ(0u, textOf(lines[k]).rfind("n=" + std::to_string(n) + " ", 0)) << lines[k];
  }
}

TEST(TraceRavo, ConcurrentWritersLoseNoRecordStructure) {
  trace_ravo_desc_t d = nullptr;
  ASSERT_EQ(0, trace_ravo_init_buffer(&d, "TST3", 8192));
  std::vector<std::thread> threads;
  for (uint32_t t = 0; t < 4; ++t)
    threads.emplace_back([d, t] {
      for (uint32_t i = 0; i < 2000; ++i) {
        const uint32_t v[] = {t, i};
        trace_ravo_write_all(d, "t=%u i=%u", 1, nullptr, 2, v);
      }
    });
  for (auto& th : threads) th.join();
  for (const auto& l : decode(d)) EXPECT_EQ(0u, textOf(l).rfind("t=", 0)) << l;
}

TEST(TraceRavo, BadArgumentsAreRefusedAndNullDescriptorsIgnored) {
  trace_ravo_desc_t d = nullptr;
  EXPECT_EQ(-1, trace_ravo_init_buffer(&d, nullptr, 8192));
  EXPECT_EQ(-1, trace_ravo_init_buffer(nullptr, "X", 8192));
  trace_ravo_write_all(nullptr, "ignored", 1, nullptr, 0, nullptr);
  EXPECT_EQ(0u, trace_ravo_decode(nullptr, nullptr, nullptr));
}

struct Observed {
  std::mutex lock;
  std::vector<std::string> records;  // "<buffer> <text without the time>"
  static void see(void* ctx, const char* buffer, const char* text) {
    Observed* o = static_cast<Observed*>(ctx);
    std::lock_guard<std::mutex> g(o->lock);
    o->records.push_back(std::string(buffer) + " " + textOf(text));
  }
};

TEST(TraceRavo, ObserverSeesEveryRecordTheRingDrops) {
  trace_ravo_desc_t d = nullptr;
  ASSERT_EQ(0, trace_ravo_init_buffer(&d, "TST5", 256));
  Observed seen;
  trace_ravo_set_observer(&Observed::see, &seen);
  std::vector<std::thread> threads;
  for (uint32_t t = 0; t < 4; ++t)
    threads.emplace_back([d, t] {
      for (uint32_t i = 0; i < 500; ++i) {
        const uint32_t v[] = {t, i};
        trace_ravo_write_all(d, "t=%u i=%u %s", 1, "s", 2, v);
      }
    });
  for (auto& th : threads) th.join();
  trace_ravo_set_observer(nullptr, nullptr);
  const uint32_t v[] = {9};
  trace_ravo_write_all(d, "after=%u", 1, nullptr, 1, v);

  ASSERT_LT(decode(d).size(), 100u) << "the ring keeps only the newest";
  std::lock_guard<std::mutex> g(seen.lock);
  ASSERT_EQ(2000u, seen.records.size()) << "every record once, none after the removal";
  // Each writer's records in the order written.
  std::vector<uint32_t> next(4, 0);
  for (const std::string& r : seen.records) {
    unsigned t = 0, i = 0;
    ASSERT_EQ(2, std::sscanf(r.c_str(), "TST5 t=%u i=%u s", &t, &i)) << r;
    ASSERT_LT(t, 4u);
    EXPECT_EQ(next[t]++, i) << r;
  }
}

TEST(TraceRavoDeathTest, PercAbendPrintsReasonAndTraceThenAborts) {
  trace_ravo_desc_t d = nullptr;
  ASSERT_EQ(0, trace_ravo_init_buffer(&d, "TST4", 8192));
  const uint32_t v[] = {7};
  trace_ravo_write_all(d, "last words %u", 1, nullptr, 1, v);
  EXPECT_DEATH(percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0),
               "percAbend: reason=0x0000F0D1.*arg7=11(.|\n)*TST4(.|\n)*last words 7");
}

}  // namespace
