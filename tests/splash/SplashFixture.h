// The headless world of the splash tests: the test backends, the fake window list and a clear
// flag.
#pragma once

#include "splash/SplashDlg.h"
#include "support/HeadlessFixture.h"

#include "platform/winfind_fake.h"

class SplashFixture : public HeadlessFixture {
  protected:
    void SetUp() override {
        HeadlessFixture::SetUp();
        platform::InstallWindowFinder(&windows);
        g_bSplashDone = 0;
    }
    void TearDown() override {
        g_bSplashDone = 0;
        platform::InstallWindowFinder(nullptr);
        HeadlessFixture::TearDown();
    }

    platform::FakeWindowFinder windows;
};
