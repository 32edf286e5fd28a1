#pragma once

// The Facts view: the selected track's facts as a person reads them, grouped by meaning (Codec,
// Picture, Colour and HDR, Timing, Sound, Flags, Tags, Side data), with human names and units
// (probe/facts_catalogue.h). It sits in a tab beside the details table, which stays as it is one
// click away; the tab last chosen is remembered.

#include <QList>
#include <QTreeWidget>
#include <QVariantMap>

namespace vellinor {

class ArrayController;
class MainWindow;

class FactsView final : public QTreeWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FactsView)

public:
    explicit FactsView(QWidget* parent = nullptr);

    // Shows `facts`: rows of "group", "name", "value", "source" and "key" (table_rows.h).
    void showFacts(const QList<QVariantMap>& facts);
    // The selected facts as "name<TAB>value" lines (a group row copies its facts).
    [[nodiscard]] QString selectedText() const;
    // The details key the current fact stands for ("bit_rate", "BPS.tags"), and its value as
    // shown; empty on a group row or without a current fact.
    [[nodiscard]] QString currentFactKey() const;
    [[nodiscard]] QString currentFactValue() const;

Q_SIGNALS:
    // The context menu is about to show for the current fact: its commands may update.
    void contextMenuAboutToShow();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

// Puts the window's details table into a "Details" tab and a FactsView into a "Facts" tab
// beside it; the view follows the tracks table's selection.
FactsView* installFactsTab(MainWindow& window);

}  // namespace vellinor
