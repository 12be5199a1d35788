#include <gtest/gtest.h>

#include "Hex.h"
#include "SimHarness.h"

namespace {

using Bytes = std::vector<uint8_t>;

nlohmann::json MultiRet() {
  return {{"type", "multiRet"},
          {"uniqueId", "CS0042"},
          {"subunits", {{{"calibrated", true}, {"tilt", 20}}, {{"calibrated", false}}}}};
}

// The same devices on a bus of their own.
void AddDevices(SimHarness& sim) {
  sim.Add(MultiRet());
  sim.Add(SimHarness::SingleRet("KA0001", false));
}

SimAld& Device(SimHarness& sim, size_t i) {
  SimAld* device = nullptr;
  sim.Bus().WithDevice(i, [&](SimAld& d) { device = &d; });
  return *device;
}

void RestoreAll(SimHarness& sim, SimHarness& snapshot) {
  for (size_t i = 0; i < sim.Bus().Count(); ++i) EXPECT_TRUE(Device(sim, i).Restore(Device(snapshot, i))) << i;
}

// Changes what a session can change: addresses, links and sequence numbers,
// fields, tilt, calibration, alarms, subscription, a download, a procedure
// in progress and a queued indication.
void Work(SimHarness& sim) {
  sim.Attach("CS0042", 1);
  sim.Send(1, 0x83, {0x02, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'X', 'Y', 'Z'});
  sim.Send(1, 0x12, {});
  sim.Send(1, 0x81, {0x01, 90, 0});
  sim.Time().Advance(60000);
  sim.Poll(1);
  sim.Bus().RaiseAlarm(0, 2, 0x03);
  sim.Send(1, 0x40, {});
  sim.Send(1, 0x41, Bytes(20, 0xAA));
  sim.Attach("KA0001", 2);
  sim.Send(2, 0x31, {});
}

// A session that reads back everything Work changed.
std::vector<Bytes> Session(SimHarness& sim) {
  std::vector<Bytes> replies;
  auto keep = [&](const SimHarness::Reply& r) { replies.push_back(r.Raw); };
  keep(sim.Exchange(SimHarness::Scan({}, {})));
  keep(sim.Poll(1));
  keep(sim.Exchange(SimHarness::Assign("CS0042", 1)));
  keep(sim.Connect(1));
  keep(sim.Send(1, 0x84, {0x02, 0x01}));
  keep(sim.Send(1, 0x82, {0x01}));
  keep(sim.Send(1, 0x87, {0x02}));
  keep(sim.Send(1, 0x41, Bytes(4, 0xAA)));
  keep(sim.Poll(1));
  keep(sim.Exchange(SimHarness::Assign("KA0001", 2)));
  keep(sim.Connect(2));
  keep(sim.Send(2, 0x34, {}));
  keep(sim.Send(2, 0x04, {}));
  return replies;
}

TEST(SimRestore, RestoredDevicesAreTheFreshlyBuiltOnes) {
  SimHarness worked;
  SimHarness fresh;
  SimHarness snapshot;
  AddDevices(worked);
  AddDevices(fresh);
  AddDevices(snapshot);
  Work(worked);
  ASSERT_NE(worked.Bus().StateJson(), fresh.Bus().StateJson());

  RestoreAll(worked, snapshot);
  fresh.Time().Advance(worked.Time().NowMs() - fresh.Time().NowMs());
  EXPECT_EQ(worked.Bus().StateJson(), fresh.Bus().StateJson());
  std::vector<Bytes> expected = Session(fresh);
  EXPECT_EQ(Session(worked), expected);
  // The snapshot is left as it was.
  snapshot.Time().Advance(worked.Time().NowMs() - snapshot.Time().NowMs());
  EXPECT_EQ(Session(snapshot), expected);
}

TEST(SimRestore, RefusesAnotherKindAndAProcedureInProgress) {
  SimHarness sim;
  sim.Add(SimHarness::SingleRet("KA0001"));
  sim.Add(MultiRet());
  sim.Add(SimHarness::SingleRet("KA0002"));
  sim.Attach("KA0002", 2);
  ASSERT_EQ(sim.Send(2, 0x31, {}).Content, Hex("02 31"));  // calibrating

  nlohmann::ordered_json before = sim.Bus().StateJson();
  EXPECT_FALSE(Device(sim, 0).Restore(Device(sim, 1)));
  EXPECT_FALSE(Device(sim, 0).Restore(Device(sim, 2)));
  EXPECT_EQ(sim.Bus().StateJson(), before);
}

}  // namespace
