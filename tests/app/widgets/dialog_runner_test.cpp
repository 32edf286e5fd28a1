// The real dialogs behind the delegate's questions, answered by a test as a user would.

#include <algorithm>
#include <optional>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "app/widgets/dialog_runner.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

AlertRequest threeButtonAlert()
{
    AlertRequest request;
    request.icon = QMessageBox::Information;
    request.messageText = QStringLiteral("report.json\ncreated Successfully!");
    request.informativeText = QStringLiteral("Questions? : someone@example.org");
    request.buttons = {QStringLiteral("OK"), QStringLiteral("Show in File Manager"),
                       QStringLiteral("Open in Text Editor")};
    return request;
}

// The button titles of `alert` from left to right, as laid out on screen.
QStringList titlesLeftToRight(const QMessageBox& alert)
{
    QList<QAbstractButton*> buttons = alert.buttons();
    std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* a, QAbstractButton* b) {
        return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
    });
    QStringList titles;
    for (QAbstractButton* button : buttons)
        titles.append(QString(button->text()).remove(u'&'));
    return titles;
}

TEST(QtDialogRunner, AlertIsWindowModalShowsItsTextsAndReportsThePressedButton)
{
    for (int pressed : {0, 1, 2}) {
        SCOPED_TRACE(pressed);
        QMainWindow window;
        window.show();
        QtDialogRunner runner;
        std::optional<int> answer;
        runner.runAlert(&window, threeButtonAlert(), &window, [&answer](int b) { answer = b; });

        auto* alert = window.findChild<QMessageBox*>();
        ASSERT_NE(alert, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(alert));
        EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
        EXPECT_EQ(alert->icon(), QMessageBox::Information);
        EXPECT_EQ(alert->text(), threeButtonAlert().messageText);
        EXPECT_EQ(alert->informativeText(), threeButtonAlert().informativeText);
        EXPECT_EQ(titlesLeftToRight(*alert), threeButtonAlert().buttons);
        ASSERT_NE(alert->defaultButton(), nullptr);
        EXPECT_EQ(alert->defaultButton()->text(), QStringLiteral("&OK"));

        EXPECT_FALSE(answer.has_value());  // it does not block: the answer comes later
        const QList<QAbstractButton*> buttons = alert->buttons();
        auto chosen = std::find_if(buttons.begin(), buttons.end(), [pressed](QAbstractButton* b) {
            return QString(b->text()).remove(u'&') == threeButtonAlert().buttons.at(pressed);
        });
        ASSERT_NE(chosen, buttons.end());
        (*chosen)->click();
        EXPECT_EQ(answer, pressed);
    }
}

TEST(QtDialogRunner, EveryButtonGetsAMnemonicOfItsOwn)
{
    struct Case {
        QStringList titles;
        QStringList marked;
    };
    const Case cases[] = {
        {{QStringLiteral("OK"), QStringLiteral("Show in File Manager"),
          QStringLiteral("Open in Text Editor")},
         {QStringLiteral("&OK"), QStringLiteral("&Show in File Manager"),
          QStringLiteral("Open &in Text Editor")}},
        {{QStringLiteral("Check out my other Apps"), QStringLiteral("Rate App"),
          QStringLiteral("Close")},
         {QStringLiteral("&Check out my other Apps"), QStringLiteral("&Rate App"),
          QStringLiteral("C&lose")}},
        {{QStringLiteral("&Keep"), QStringLiteral("OK"), QStringLiteral("O"),
          QStringLiteral("...")},
         {QStringLiteral("&Keep"), QStringLiteral("&OK"), QStringLiteral("O"),
          QStringLiteral("...")}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(withMnemonics(c.titles), c.marked);
}

TEST(QtDialogRunner, EscapePressesTheEscapeButtonOnlyWhenThereIsOne)
{
    for (std::optional<int> escape : {std::optional<int>{2}, std::optional<int>{}}) {
        SCOPED_TRACE(escape.value_or(-1));
        QMainWindow window;
        window.show();
        QtDialogRunner runner;
        AlertRequest request = threeButtonAlert();
        request.escapeButton = escape;
        std::optional<int> answer;
        runner.runAlert(&window, request, &window, [&answer](int b) { answer = b; });
        auto* alert = window.findChild<QMessageBox*>();
        ASSERT_NE(alert, nullptr);
        QTest::keyClick(alert, Qt::Key_Escape);
        EXPECT_EQ(answer, escape);
    }
}

TEST(QtDialogRunner, SaveDialogOffersOnlyJsonAndGivesTheChosenPath)
{
    TempDir folder;
    struct Case {
        bool accept;
        QString expected;
    };
    const QString chosen = QString::fromStdString((folder / "chosen").string());
    for (const Case& c : {Case{true, chosen + QStringLiteral(".json")}, Case{false, QString()}}) {
        SCOPED_TRACE(c.accept);
        QMainWindow window;
        window.show();
        QtDialogRunner runner;
        SaveDialogRequest request{QStringLiteral("clip.final"), QStringLiteral("JSON (*.json)"),
                                  QStringLiteral("json")};
        std::optional<QString> answer;
        runner.runSaveDialog(&window, request, &window,
                             [&answer](const QString& path) { answer = path; });

        auto* dialog = window.findChild<QFileDialog*>();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("JSON (*.json)")});
        EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("json"));
        auto* nameField = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(nameField, nullptr);
        EXPECT_EQ(nameField->text(), QStringLiteral("clip.final"));
        EXPECT_FALSE(answer.has_value());

        if (c.accept) {
            dialog->selectFile(chosen);
            static_cast<QDialog*>(dialog)->accept();  // QFileDialog hides it
        } else {
            dialog->reject();
        }
        EXPECT_EQ(answer, c.expected);
    }
}

TEST(QtDialogRunner, NoAnswerReachesAContextThatIsGone)
{
    QMainWindow window;
    window.show();
    QtDialogRunner runner;
    bool answered = false;
    {
        QObject context;
        runner.runAlert(&window, threeButtonAlert(), &context,
                        [&answered](int) { answered = true; });
    }
    auto* alert = window.findChild<QMessageBox*>();
    ASSERT_NE(alert, nullptr);
    alert->buttons().first()->click();
    EXPECT_FALSE(answered);
}

}  // namespace
}  // namespace vellinor::test
