// The path rule on snapshots, interface kinds from a fake sysfs, and the monitor's reports.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/network/nw_path_monitor.h"
#include "platform/network/path_snapshot.h"
#include "platform/network/testing/network_controls.h"

namespace network {
namespace {

namespace fs = std::filesystem;
using Type = NWInterfaceType;

InterfaceSnapshot interface(unsigned index, bool up, Type type) {
  return {"if" + std::to_string(index), index, up, type == Type::loopback, type};
}

TEST(PathSnapshotTest, SatisfiedOnlyByADefaultRouteOnAnUpNonLoopbackInterface) {
  NetworkSnapshot snapshot{{interface(1, true, Type::loopback), interface(2, true, Type::wifi),
                            interface(3, false, Type::wiredEthernet),
                            interface(4, true, Type::other)},
                           {}};
  EXPECT_EQ(pathFromSnapshot(snapshot).status(), NWPath::Status::unsatisfied);
  snapshot.defaultRouteInterfaces = {1, 3};
  EXPECT_EQ(pathFromSnapshot(snapshot).status(), NWPath::Status::unsatisfied);
  snapshot.defaultRouteInterfaces = {1, 2, 3, 4};
  NWPath path = pathFromSnapshot(snapshot);
  EXPECT_EQ(path.status(), NWPath::Status::satisfied);
  EXPECT_TRUE(path.usesInterfaceType(Type::wifi));
  EXPECT_TRUE(path.usesInterfaceType(Type::other));
  EXPECT_FALSE(path.usesInterfaceType(Type::wiredEthernet));
  EXPECT_FALSE(path.usesInterfaceType(Type::loopback));
}

TEST(PathSnapshotTest, InterfaceKindsComeFromSysfs) {
  char pattern[] = "/tmp/sysfs_net_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  fs::path root = pattern;
  auto make = [&](const std::string& name, const std::string& type, bool device,
                  const std::string& uevent) {
    fs::create_directories(root / name);
    std::ofstream(root / name / "type") << type << "\n";
    std::ofstream(root / name / "uevent") << "INTERFACE=" << name << "\n" << uevent;
    if (device) fs::create_directories(root / name / "device");
  };
  make("wlan0", "1", true, "DEVTYPE=wlan\n");
  make("eth0", "1", true, "");
  make("br0", "1", false, "DEVTYPE=bridge\n");
  make("wwan0", "65534", true, "DEVTYPE=wwan\n");
  make("lo", "772", false, "");
  EXPECT_EQ(interfaceTypeFromSysfs(root, "wlan0"), Type::wifi);
  EXPECT_EQ(interfaceTypeFromSysfs(root, "eth0"), Type::wiredEthernet);
  EXPECT_EQ(interfaceTypeFromSysfs(root, "br0"), Type::other);
  EXPECT_EQ(interfaceTypeFromSysfs(root, "wwan0"), Type::cellular);
  EXPECT_EQ(interfaceTypeFromSysfs(root, "lo"), Type::loopback);
  EXPECT_EQ(interfaceTypeFromSysfs(root, "missing"), Type::other);
  fs::remove_all(root);
}

TEST(PathSnapshotTest, TheLiveMachineHasALoopback) {
  auto snapshot = readNetworkSnapshot();
  bool loopback = false;
  for (const auto& found : snapshot.interfaces) loopback |= found.loopback;
  EXPECT_TRUE(loopback);
}

TEST(NWPathMonitorTest, ReportsChangesOnItsQueueUntilCancelled) {
  testing::setSimulatedNetwork({true, {Type::wifi}});
  auto queue = dispatch_queue_create("test.monitor", DISPATCH_QUEUE_SERIAL);
  std::atomic<int> reports = 0;
  std::atomic<bool> onQueue = true;
  NWPath last;
  std::mutex lastMutex;
  auto monitor = std::make_shared<NWPathMonitor>();
  monitor->setPathUpdateHandler([&](const NWPath& path) {
    onQueue = onQueue && DispatchQueue::current() == queue.get();
    std::lock_guard lock(lastMutex);
    last = path;
    ++reports;
  });
  monitor->start(queue);
  EXPECT_EQ(testing::startedMonitorCount(), 1u);
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return reports == 1; }));

  testing::setSimulatedNetwork({true, {Type::wifi}});  // no change, no report
  testing::setSimulatedNetwork({false, {}});
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return reports == 2; }));
  {
    std::lock_guard lock(lastMutex);
    EXPECT_EQ(last.status(), NWPath::Status::unsatisfied);
  }

  monitor->cancel();
  EXPECT_EQ(testing::startedMonitorCount(), 0u);
  testing::setSimulatedNetwork({true, {Type::other}});
  dispatch::testing::drainUntilIdle();
  EXPECT_EQ(reports, 2);
  EXPECT_TRUE(onQueue);
  EXPECT_EQ(monitor->currentPath(), NWPath(NWPath::Status::satisfied, {Type::other}));
  testing::useLiveNetwork();
}

}  // namespace
}  // namespace network
