// The Help menu's keyboard shortcuts list and About text.

#include <gtest/gtest.h>

#include "app/window/help_menu.h"
#include "app_test_support.h"

namespace vellinor::test {
namespace {

TEST(HelpMenu, ListsEveryCommandWithKeysOnce)
{
    WindowHarness harness;
    const QList<ShortcutRow> rows = keyboardShortcuts(harness.window);
    const auto keysOf = [&rows](const QString& command) {
        QStringList keys;
        for (const ShortcutRow& row : rows) {
            if (row.command == command)
                keys.append(row.keys);
        }
        return keys;
    };
    struct Case {
        const char* command;
        const char* keys;
    };
    const Case cases[] = {
        {"Open Folder", "Ctrl+Shift+O"},        {"Quit", "Ctrl+Q"},
        {"Sheet of All Files", "Ctrl+Shift+L"}, {"Report as Text", "Ctrl+T"},
        {"Copy Report", "Ctrl+Shift+C"},        {"Compare", "Ctrl+D"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keysOf(QString::fromLatin1(c.command)), QStringList{QString::fromLatin1(c.keys)})
            << c.command;
    EXPECT_EQ(rows.back().keys, QStringLiteral("Ctrl+W"));
}

TEST(HelpMenu, AboutNamesTheToolItsLibrariesAndTheCache)
{
    TempDir folder;
    const QString cache = QString::fromStdString((folder / "probe-cache.sqlite").string());
    writeFile(folder / "probe-cache.sqlite", std::string(3000, 'x'));
    writeFile(folder / "probe-cache.sqlite-wal", std::string(2000, 'x'));
    const QString identity = QStringLiteral(
        "sniffer 0.1.0 libavformat 59.27.100 libavcodec 59.37.100 libavutil 57.28.100 build ab12");
    EXPECT_EQ(aboutLines(QStringLiteral("0.1.0"), identity, cache),
              (QStringList{QStringLiteral("Vellinor 0.1.0"), QString(),
                           QStringLiteral("Probe tool: ") + identity,
                           QStringLiteral("FFmpeg libraries: libavformat 59.27.100, libavcodec "
                                          "59.37.100, libavutil 57.28.100"),
                           QStringLiteral("Probe cache: ") + cache + QStringLiteral(" (5 KB)")}));
    EXPECT_EQ(aboutLines(QStringLiteral("0.1.0"), {}, {}),
              (QStringList{QStringLiteral("Vellinor 0.1.0"), QString(),
                           QStringLiteral("Probe tool: did not tell its version"),
                           QStringLiteral("Probe cache: off")}));
}

}  // namespace
}  // namespace vellinor::test
