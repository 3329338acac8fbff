#pragma once

#include <string>

namespace tovrin::test {

// Points XDG_RUNTIME_DIR, XDG_CONFIG_HOME and XDG_STATE_HOME at fresh private folders, selects the
// silent wave device and the offscreen Qt platform, so that no test can reach the user's desktop,
// configuration or speakers. Called by the shared test main before any test runs.
void IsolateFromUserSession();

// The private folder all isolated paths live under; removed when the test process ends.
const std::string& TestRoot();

// A new empty folder below TestRoot().
std::string MakeTempDir(const std::string& prefix = "t");

// The whole content of a file as bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// The folder holding the built programs (bin/), for tests that start real processes.
std::string BinaryDir();

}  // namespace tovrin::test
