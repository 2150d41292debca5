// A test that runs the launcher's code on the test backends: an empty registry in memory, the
// recording process backend, a settable clock and the headless ui with the launcher's
// resources. Every dialog run must be played by a script (HeadlessUi::Play).
#pragma once

#include "platform/clock_fake.h"
#include "platform/process_fake.h"
#include "platform/registry_memory.h"
#include "platform/ui_headless.h"

#include <gtest/gtest.h>

#include <string>

class HeadlessFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Creates a key (and its parents) in the test registry, as an installer would.
    void CreateKey(HKEY root, const std::string& path);
    // Standard output printed while fn runs.
    template <typename Fn> std::string CaptureStdout(Fn fn) {
        ::testing::internal::CaptureStdout();
        fn();
        return ::testing::internal::GetCapturedStdout();
    }

    platform::MemoryRegistry registry;
    platform::FakeProcessBackend processes;
    platform::FakeClock clock;
    platform::ui::HeadlessUi ui;
};
