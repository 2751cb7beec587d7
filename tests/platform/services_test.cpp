// The simulated service control manager, answering with Windows' error codes.
#include <gtest/gtest.h>

#include "sim_test_client.h"

namespace veltra::sim {
namespace {

namespace pf = veltra::platform;
namespace err = pf::error;

class ServicesTest : public ::testing::Test {
 protected:
  std::unique_ptr<pf::ServiceManager> Manager() {
    uint32_t error = 0;
    auto manager = system_.Platform().services.OpenManager(pf::kScManagerAllAccess, error);
    EXPECT_EQ(error, err::kSuccess);
    return manager;
  }
  std::unique_ptr<pf::Service> Create(uint32_t* errorOut = nullptr) {
    uint32_t error = 0;
    auto service = Manager()->CreateService(config_, pf::kServiceAllAccess, error);
    if (errorOut) *errorOut = error;
    return service;
  }
  std::unique_ptr<pf::Service> Open(uint32_t* errorOut = nullptr) {
    uint32_t error = 0;
    auto service = Manager()->OpenService(kDriverServiceName, pf::kServiceAllAccess, error);
    if (errorOut) *errorOut = error;
    return service;
  }

  SimSystem system_;
  pf::ServiceConfig config_ = test::DriverServiceConfig(system_);
};

TEST_F(ServicesTest, AFreshMachineHasTheDriverFilesAndNoService) {
  EXPECT_EQ(system_.Services().ServiceCount(), 0u);
  EXPECT_TRUE(system_.Services().HasDriverBinary(u"C:\\Program Files\\Veltra\\ZRVC64.sys"));
  EXPECT_TRUE(system_.Services().HasDriverBinary(u"c:\\program files\\veltra\\zrvc.sys"));
  SimSystem elsewhere(u"D:\\Tools\\veltra.exe");
  EXPECT_TRUE(elsewhere.Services().HasDriverBinary(u"D:\\Tools\\ZRVC64.sys"));
  EXPECT_FALSE(elsewhere.Services().HasDriverBinary(u"C:\\Program Files\\Veltra\\ZRVC64.sys"));
  uint32_t error = 0;
  EXPECT_FALSE(Open(&error));
  EXPECT_EQ(error, err::kServiceDoesNotExist);
}

TEST_F(ServicesTest, CreateStartStopDelete) {
  uint32_t error = 0;
  auto service = Create(&error);
  ASSERT_TRUE(service);
  EXPECT_EQ(error, err::kSuccess);
  EXPECT_FALSE(Create(&error));
  EXPECT_EQ(error, err::kServiceExists);

  const std::optional<ServiceState> created = system_.Services().Find(u"zr_vender_cmd");
  ASSERT_TRUE(created);
  EXPECT_EQ(created->config.binaryPath, u"C:\\Program Files\\Veltra\\ZRVC64.sys");
  EXPECT_EQ(created->config.startType, pf::kServiceDemandStart);
  EXPECT_FALSE(created->running);

  EXPECT_EQ(service->Control(pf::kServiceControlStop), err::kServiceNotActive);
  EXPECT_EQ(service->Start(), err::kSuccess);
  EXPECT_TRUE(system_.Services().Find(kDriverServiceName)->running);
  EXPECT_EQ(Open()->Start(), err::kServiceAlreadyRunning);
  EXPECT_EQ(service->Control(pf::kServiceControlStop), err::kSuccess);
  EXPECT_FALSE(system_.Services().Find(kDriverServiceName)->running);
  EXPECT_EQ(service->Delete(), err::kSuccess);
  EXPECT_FALSE(system_.Services().Find(kDriverServiceName));
  EXPECT_EQ(service->Start(), err::kServiceMarkedForDelete);  // a handle of a gone service
  EXPECT_TRUE(Create());
}

TEST_F(ServicesTest, StartFailsWhenTheBinaryIsMissing) {
  system_.Services().RemoveDriverBinary(config_.binaryPath);
  auto service = Create();
  ASSERT_TRUE(service);
  EXPECT_EQ(service->Start(), err::kFileNotFound);
  system_.Services().AddDriverBinary(config_.binaryPath);
  EXPECT_EQ(service->Start(), err::kSuccess);
}

TEST_F(ServicesTest, ARunningServiceIsMarkedForDeleteAndGoesWhenStopped) {
  auto service = Create();
  ASSERT_EQ(service->Start(), err::kSuccess);
  EXPECT_EQ(service->Delete(), err::kSuccess);
  ASSERT_TRUE(system_.Services().Find(kDriverServiceName));
  EXPECT_TRUE(system_.Services().Find(kDriverServiceName)->markedForDelete);
  EXPECT_EQ(service->Delete(), err::kServiceMarkedForDelete);
  uint32_t error = 0;
  EXPECT_FALSE(Create(&error));
  EXPECT_EQ(error, err::kServiceMarkedForDelete);
  auto opened = Open(&error);  // a marked service can still be opened...
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->Start(), err::kServiceMarkedForDelete);  // ...but not started
  EXPECT_EQ(opened->Control(pf::kServiceControlStop), err::kSuccess);
  EXPECT_FALSE(system_.Services().Find(kDriverServiceName));
  EXPECT_TRUE(Create());
}

TEST_F(ServicesTest, QueryConfigTakesTwoCalls) {
  auto service = Create();
  size_t needed = 0;
  EXPECT_EQ(service->QueryConfig(0, nullptr, needed), err::kInsufficientBuffer);
  // QUERY_SERVICE_CONFIGW of a 32-bit process: 36 bytes, then the UTF-16 strings.
  EXPECT_EQ(needed, 36 + 2 * (config_.binaryPath.size() + 1 + 1 + 2 + 1 + 13 + 1));
  pf::ServiceConfig out;
  size_t again = 0;
  EXPECT_EQ(service->QueryConfig(needed - 1, &out, again), err::kInsufficientBuffer);
  EXPECT_EQ(service->QueryConfig(needed, &out, again), err::kSuccess);
  EXPECT_EQ(out.name, config_.name);
  EXPECT_EQ(out.displayName, u"ZR_VENDER_CMD");
  EXPECT_EQ(out.type, pf::kServiceKernelDriver);
  EXPECT_EQ(out.startType, pf::kServiceDemandStart);
  EXPECT_EQ(out.errorControl, pf::kServiceErrorNormal);
  EXPECT_EQ(out.binaryPath, config_.binaryPath);
}

TEST_F(ServicesTest, OnlyTheStopControlIsUnderstood) {
  auto service = Create();
  ASSERT_EQ(service->Start(), err::kSuccess);
  EXPECT_EQ(service->Control(4), err::kInvalidParameter);  // SERVICE_CONTROL_INTERROGATE
  EXPECT_TRUE(system_.Services().Find(kDriverServiceName)->running);
}

TEST_F(ServicesTest, PreinstalledServices) {
  pf::ServiceConfig automatic = config_;
  automatic.startType = 2;  // SERVICE_AUTO_START
  system_.Services().Install(automatic, true);
  const auto state = system_.Services().Find(kDriverServiceName);
  ASSERT_TRUE(state);
  EXPECT_TRUE(state->running);
  EXPECT_EQ(state->config.startType, 2u);
  EXPECT_EQ(Open()->Start(), err::kServiceAlreadyRunning);
  uint32_t error = 0;
  EXPECT_TRUE(system_.Platform().driver.Open(kControlDevicePath, false, error));
}

TEST_F(ServicesTest, FaultSwitches) {
  uint32_t error = 0;
  system_.Services().SetOpenManagerError(err::kAccessDenied);
  EXPECT_FALSE(system_.Platform().services.OpenManager(pf::kScManagerAllAccess, error));
  EXPECT_EQ(error, err::kAccessDenied);
  system_.Services().SetOpenManagerError(0);

  system_.Services().SetCreateError(err::kAccessDenied);
  EXPECT_FALSE(Create(&error));
  EXPECT_EQ(error, err::kAccessDenied);
  EXPECT_EQ(system_.Services().ServiceCount(), 0u);
  system_.Services().SetCreateError(0);

  auto service = Create();
  system_.Services().SetStartError(err::kGenFailure);
  EXPECT_EQ(service->Start(), err::kGenFailure);
  system_.Services().SetStartError(0);
  EXPECT_EQ(service->Start(), err::kSuccess);
}

}  // namespace
}  // namespace veltra::sim
