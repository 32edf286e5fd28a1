// The application's tests run against a real QApplication on the offscreen platform, with
// QStandardPaths in test mode so no user setting is read or written. Test mode alone shares one
// settings file among every test process, and CTest runs them in parallel: one test's clean-up
// would remove what another had just saved. So each process keeps its settings in a folder of
// its own.

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication application(argc, argv);
    const QTemporaryDir settingsFolder;
    if (settingsFolder.isValid()) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder.path());
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
