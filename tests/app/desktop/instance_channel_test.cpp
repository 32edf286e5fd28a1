#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QUuid>

#include <gtest/gtest.h>

#include "app/desktop/instance_channel.h"
#include "app_test_support.h"

namespace vellinor::test {
namespace {

QString uniqueName()
{
    return QStringLiteral("vellinor-test-") + QUuid::createUuid().toString(QUuid::Id128);
}

TEST(InstanceChannel, ASecondLaunchHandsItsFilesToTheRunningOneAndExits)
{
    TempDir folder;
    std::filesystem::create_directories(folder / "sub");
    const QString name = uniqueName();
    InstanceServer server(name);
    ASSERT_TRUE(server.listen().hasValue());
    QSignalSpy received(&server, &InstanceServer::filesReceived);

    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VELLINOR_INSTANCE_NAME"), name);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(environment);
    second.setWorkingDirectory(QString::fromStdString(folder.path().string()));
    second.start(QStringLiteral(VELLINOR_APP_EXECUTABLE),
                 {QStringLiteral("sub/clip one.mkv"), QStringLiteral("/media/other.mp4"),
                  QStringLiteral("./sub/../notes.txt")});

    ASSERT_TRUE(received.wait(20000));
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    const QString base = QString::fromStdString(folder.path().string());
    EXPECT_EQ(
        received.first().first().toStringList(),
        (QStringList{base + QStringLiteral("/sub/clip one.mkv"), QStringLiteral("/media/other.mp4"),
                     base + QStringLiteral("/notes.txt")}));
}

TEST(InstanceChannel, HandOverWithoutARunningApplicationSaysSo)
{
    EXPECT_EQ(handOverToRunningInstance(uniqueName(), {QStringLiteral("/tmp/x.mkv")}, 1000),
              HandOverResult::noInstance);
}

TEST(InstanceChannel, ReplacesADeadSocketButNeverALiveOne)
{
    // A socket file nobody listens on, as an application that crashed leaves it.
    const QString name = uniqueName();
    const std::string path = QString(QDir::tempPath() + u'/' + name).toStdString();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);

    InstanceServer first(name);
    EXPECT_TRUE(first.listen().hasValue());
    EXPECT_EQ(first.fullServerName().toStdString(), path);
    InstanceServer second(name);
    EXPECT_TRUE(second.listen().failedWith(ErrorKind::busy));
    // Nothing runs the server's event loop here: the connection is made but never answered,
    // and the hand-over gives up in time.
    EXPECT_EQ(handOverToRunningInstance(name, {}, 1000), HandOverResult::failed);
}

TEST(InstanceChannel, AClosedServerLetsTheNextLaunchTakeOver)
{
    const QString name = uniqueName();
    InstanceServer quitting(name);
    ASSERT_TRUE(quitting.listen().hasValue());
    quitting.close();
    EXPECT_EQ(handOverToRunningInstance(name, {}, 1000), HandOverResult::noInstance);
    InstanceServer next(name);
    EXPECT_TRUE(next.listen().hasValue());
}

TEST(InstanceChannel, ArgumentsBecomeAbsolutePaths)
{
    const QString cwd = QStringLiteral("/home/user/videos");
    const struct {
        QString argument;
        QString expected;
    } cases[] = {
        {QStringLiteral("clip.mkv"), QStringLiteral("/home/user/videos/clip.mkv")},
        {QStringLiteral("../music/a b.flac"), QStringLiteral("/home/user/music/a b.flac")},
        {QStringLiteral("/srv/x.mp4"), QStringLiteral("/srv/x.mp4")},
        {QStringLiteral("file:///srv/with%20space.mp4"), QStringLiteral("/srv/with space.mp4")},
        {QStringLiteral("-v"), QStringLiteral("/home/user/videos/-v")},
        {QStringLiteral("file.mkv"), QStringLiteral("/home/user/videos/file.mkv")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(absoluteFilePaths({c.argument}, cwd), QStringList{c.expected})
            << c.argument.toStdString();
}

}  // namespace
}  // namespace vellinor::test
