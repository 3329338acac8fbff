#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

namespace tovrin::test {

// One QApplication for the whole test program; the shared test main has already chosen the
// offscreen platform.
class QtApplicationEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "tovrin_player_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};

inline const auto* const kQtEnvironment =
    testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace tovrin::test
