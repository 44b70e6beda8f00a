#pragma once
// A fixture for tests that need a real X display: one private Xvfb for all
// tests of a suite (XvfbServer.h), skipped where Xvfb is not installed.
#include <gtest/gtest.h>

#include "platform/XvfbServer.h"

class XvfbFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = new XvfbServer;
    server->Start();
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }
  void SetUp() override {
    if (!XvfbServer::Installed()) GTEST_SKIP() << "no Xvfb on this machine";
    ASSERT_TRUE(server->Error().empty()) << server->Error();
  }

  static inline XvfbServer* server = nullptr;
};
