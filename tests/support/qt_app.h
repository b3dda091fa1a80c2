// One QApplication for a widget test binary, made before its first test and ended after
// its last. Include this header in one file of the binary only.
#pragma once

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace orvix::test {

class QtEnvironment : public testing::Environment {
public:
    void SetUp() override { m_app = std::make_unique<QApplication>(m_argc, m_argv); }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "orvix_test";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] inline testing::Environment* const qt_environment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace orvix::test
