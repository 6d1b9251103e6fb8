// Test main for widget tests: a QApplication (run them with QT_QPA_PLATFORM=offscreen), with the
// user's configuration folder replaced by a temporary one so no test reaches the real settings.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
