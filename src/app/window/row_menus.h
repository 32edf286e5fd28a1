#pragma once

// The context menus of the tracks and details tables and of the Facts view: Copy (the selected
// rows, as Ctrl+C), Copy Value (the cell), Explain (what the field means, the line
// `vellinor-cli --explain` prints) and Filter by This Value (the details filter set to it, the
// Details tab brought forward).

#include <QObject>
#include <QString>

class QAction;
class QWidget;

namespace vellinor {

class AppDelegate;
class FactsView;
class MainWindow;
class TableView;

class RowMenus final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RowMenus)

public:
    RowMenus(MainWindow& window, AppDelegate& delegate);

    // What a command acts on: the field's details key and its value.
    struct Target {
        QString key;
        QString value;
    };
    using TargetOf = Target (RowMenus::*)() const;
    // The commands of each menu, in the order shown after Copy, and what they act on.
    struct Commands {
        QAction* copyValue = nullptr;  // none in the Facts view, which has its own
        QAction* explain = nullptr;
        QAction* filterByValue = nullptr;
        TargetOf target = nullptr;
    };
    [[nodiscard]] const Commands& tracksCommands() const { return m_tracks; }
    [[nodiscard]] const Commands& detailsCommands() const { return m_details; }
    [[nodiscard]] const Commands& factsCommands() const { return m_facts; }

    // The details key a tracks-table column shows ("codec_name" for the codec), empty for a
    // column that shows no single field.
    [[nodiscard]] static QString detailsKeyOfTrackColumn(const QString& columnKey);

private:
    Commands addCommands(QWidget& view, TargetOf target);
    void connectCommands(const Commands& commands);
    void updateCommands(const Commands& commands) const;
    [[nodiscard]] Target tracksTarget() const;
    [[nodiscard]] Target detailsTarget() const;
    [[nodiscard]] Target factsTarget() const;
    void explain(const Target& target);
    void filterBy(const QString& value);

    MainWindow& m_window;
    AppDelegate& m_delegate;
    FactsView* m_factsView = nullptr;
    Commands m_tracks;
    Commands m_details;
    Commands m_facts;
};

}  // namespace vellinor
