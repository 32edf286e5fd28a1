#pragma once

// The window's policy view. Inspect > "Check Against Policy..." opens a policy file (the
// shipped examples and the recent policies are offered in Inspect > "Recent Policies"); every
// listed file is then checked against it off the window's thread, a "Policy" column in the
// file list says "Pass", "Fail", "Warn", "Needs scan" or why a file could not be checked, and
// a "Policy" panel beside the details lists the displayed file's failing rules with what was
// expected and what was found. Rules that need scan facts use a kept scan; without one they
// say the file needs a scan, and nothing is decoded. A policy that cannot be used is refused
// with the reason (file, line and rule) and the one checked with before stays.

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include <QDockWidget>
#include <QString>
#include <QThreadPool>

#include "app/policy/policy_results.h"
#include "policy/policy_check.h"

class QAction;
class QLabel;
class QMenu;
class QTableView;

namespace vellinor {

class AppDelegate;
class ArrayController;
class MainWindow;

class PolicyView final : public QDockWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PolicyView)

public:
    // The file list's column and its tooltip (the file's summary line).
    static inline const QString kColumnKey = QStringLiteral("policyResult");
    static inline const QString kSummaryKey = QStringLiteral("policySummary");

    PolicyView(MainWindow& window, AppDelegate& delegate);
    // Waits for the check and the opening that run (each bounded by the probe's limits).
    ~PolicyView() override;

    [[nodiscard]] QAction* chooseAction() const { return m_choose; }
    [[nodiscard]] QAction* clearAction() const { return m_clear; }
    [[nodiscard]] QMenu* recentMenu() const { return m_recentMenu; }
    [[nodiscard]] ArrayController* failingRules() const { return m_failing; }
    [[nodiscard]] QString statusText() const;
    // The policy checked with, or null.
    [[nodiscard]] const policy::Policy* policy() const;
    // True while a policy is being opened or a file checked.
    [[nodiscard]] bool isWorking() const { return m_opening > 0 || m_running > 0; }

    // Opens the policy at `path` off the window's thread; when it can be used it replaces the
    // one checked with and goes first among the recent ones, else an alert says why.
    void choosePolicy(const QString& path);
    void clearPolicy();

Q_SIGNALS:
    void idle();  // nothing is being opened or checked

private:
    struct Opened;
    void askForPolicy();
    void policyOpened(const QString& path, const Opened& opened);
    void fillRecentMenu();
    void checkListedFiles();
    void fileChecked(quint64 generation, const QString& path, PolicyFileResult result);
    void showResultInList(const QString& path);
    void showDisplayedFile();
    void recheckUnscanned();
    void jobEnded();
    [[nodiscard]] QString displayedPath() const;

    MainWindow& m_window;
    AppDelegate& m_delegate;
    QAction* m_choose = nullptr;
    QAction* m_clear = nullptr;
    QMenu* m_recentMenu = nullptr;
    QLabel* m_status = nullptr;
    QTableView* m_table = nullptr;
    ArrayController* m_failing = nullptr;

    std::shared_ptr<policy::PolicyChecker> m_checker;
    std::optional<std::string> m_referenceRecord;
    // Bumped when the policy changes: checks for an older one are skipped or dropped.
    std::shared_ptr<std::atomic<quint64>> m_generation = std::make_shared<std::atomic<quint64>>(0);
    std::map<QString, PolicyFileResult> m_results;
    std::set<QString> m_inFlight;
    int m_opening = 0;          // policies being opened
    quint64 m_openRequest = 0;  // the latest choice; an older one that ends later is dropped
    int m_running = 0;
    // Last: destroyed (and waited for) first. One thread each: a checker checks one file at
    // once, and policies are compiled one after another.
    QThreadPool m_openPool;
    QThreadPool m_pool;
};

PolicyView* installPolicyView(MainWindow& window, AppDelegate& delegate);

}  // namespace vellinor
