#include <algorithm>
#include <cmath>

#include <QAbstractItemModelTester>
#include <QColor>
#include <QSignalSpy>
#include <QUrl>

#include <gtest/gtest.h>

#include "app/widgets/array_controller.h"
#include "app/widgets/colored_text.h"

using namespace Qt::StringLiterals;

namespace vellinor::test {
namespace {

const QString nameKey = QStringLiteral("name");

QVariantMap named(const QString& name)
{
    return {{nameKey, name}};
}

QList<QVariantMap> namedRows(std::initializer_list<const char*> names)
{
    QList<QVariantMap> rows;
    for (const char* name : names)
        rows.append(named(QString::fromUtf8(name)));
    return rows;
}

QStringList names(const QList<QVariantMap>& rows)
{
    QStringList result;
    for (const QVariantMap& row : rows)
        result.append(row.value(nameKey).toString());
    return result;
}

class ArrayControllerTest : public ::testing::Test {
protected:
    ArrayController controller{{{nameKey, QStringLiteral("Name")}}};
    QAbstractItemModelTester tester{controller.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(ArrayControllerTest, AddObjectAppendsAndSelectsIt)
{
    controller.addObject(named(QStringLiteral("a")));
    controller.addObject(named(QStringLiteral("b")));
    controller.addObject(named(QStringLiteral("a")));  // the same entry twice is kept twice
    EXPECT_EQ(names(controller.content()), (QStringList{u"a"_s, u"b"_s, u"a"_s}));
    EXPECT_EQ(controller.selectionIndexes(), QList<int>{2});
}

TEST_F(ArrayControllerTest, AddObjectsInsertsOnceAndSelectsTheLastOnce)
{
    controller.addObject(named(QStringLiteral("first")));
    QSignalSpy inserted(controller.model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy selectionChanges(controller.selectionModel(),
                                &QItemSelectionModel::selectionChanged);
    QList<QVariantMap> many;
    for (int i = 0; i < 500; ++i)
        many.append(named(QString::number(i)));
    controller.addObjects(many);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(selectionChanges.count(), 1);
    EXPECT_EQ(controller.content().size(), 501);
    EXPECT_EQ(names(controller.selectedObjects()), QStringList{u"499"_s});
}

TEST_F(ArrayControllerTest, SelectedObjectsComeInListOrder)
{
    controller.setContent(namedRows({"a", "b", "c", "d"}));
    QItemSelectionModel* selection = controller.selectionModel();
    const auto flags = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    selection->select(controller.model()->index(3, 0), flags);
    selection->select(controller.model()->index(1, 0), flags);
    EXPECT_EQ(names(controller.selectedObjects()), (QStringList{u"b"_s, u"d"_s}));
}

TEST_F(ArrayControllerTest, RemoveTakesTheSelectedRowsAndSelectsANeighbour)
{
    struct Case {
        const char* name;
        QList<int> selected;
        QStringList remaining;
        QStringList selectedAfter;
    };
    const Case cases[] = {
        {"middle rows", {1, 3}, {u"a"_s, u"c"_s, u"e"_s}, {u"c"_s}},
        {"the last row", {4}, {u"a"_s, u"b"_s, u"c"_s, u"d"_s}, {u"d"_s}},
        {"every row", {0, 1, 2, 3, 4}, {}, {}},
        {"nothing selected", {}, {u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        controller.setContent(namedRows({"a", "b", "c", "d", "e"}));
        for (int row : c.selected)
            controller.selectionModel()->select(
                controller.model()->index(row, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        controller.remove();
        EXPECT_EQ(names(controller.content()), c.remaining);
        EXPECT_EQ(names(controller.selectedObjects()), c.selectedAfter);
    }
}

TEST_F(ArrayControllerTest, SetSelectionIndexOutOfRangeClearsTheSelection)
{
    controller.setContent(namedRows({"a", "b"}));
    controller.setSelectionIndex(1);
    EXPECT_EQ(controller.selectionIndexes(), QList<int>{1});
    controller.setSelectionIndex(2);
    EXPECT_TRUE(controller.selectionIndexes().isEmpty());
    controller.setSelectionIndex(-1);
    EXPECT_TRUE(controller.selectionIndexes().isEmpty());
}

TEST(DictionaryTableModel, ShowsTextNumbersAndColouredTextButNotOtherValues)
{
    DictionaryTableModel model({{u"text"_s, u"Text"_s},
                                {u"count"_s, u"Count"_s},
                                {u"flag"_s, u"Flag"_s},
                                {u"url"_s, u"URL"_s},
                                {u"missing"_s, u"Missing"_s}});
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setRows({{{u"text"_s, u"1.2 MB"_s},
                    {u"count"_s, QVariant::fromValue(qint64{3})},
                    {u"flag"_s, QVariant::fromValue(ColoredText{u"No"_s, ColoredText::Tone::bad})},
                    {u"url"_s, QUrl(u"file:///tmp/x.mkv"_s)}}});

    EXPECT_EQ(model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), u"Flag"_s);
    EXPECT_EQ(model.data(model.index(0, 0), Qt::DisplayRole).toString(), u"1.2 MB"_s);
    EXPECT_EQ(model.data(model.index(0, 1), Qt::DisplayRole).toLongLong(), 3);
    EXPECT_EQ(model.data(model.index(0, 2), Qt::DisplayRole).toString(), u"No"_s);
    EXPECT_FALSE(model.data(model.index(0, 3), Qt::DisplayRole).isValid());
    EXPECT_FALSE(model.data(model.index(0, 4), Qt::DisplayRole).isValid());

    const auto red = model.data(model.index(0, 2), Qt::ForegroundRole).value<QColor>();
    EXPECT_GT(red.red(), red.green());
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::ForegroundRole).isValid());

    model.appendRows({{{u"text"_s, u"b"_s}}, {{u"text"_s, u"c"_s}}});
    model.removeRowsAt({2, 0, 7, -1});
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.data(model.index(0, 0), Qt::DisplayRole).toString(), u"b"_s);
}

double relativeLuminance(const QColor& color)
{
    const auto linear = [](double channel) {
        return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
           0.0722 * linear(color.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(ToneColor, GreenAndRedAreReadableOnLightAndDarkBackgrounds)
{
    const struct {
        bool dark;
        QColor background;
    } backgrounds[] = {{false, QColor(Qt::white)}, {true, QColor(0x2b, 0x2b, 0x2b)}};
    for (const auto& b : backgrounds) {
        SCOPED_TRACE(b.dark ? "dark" : "light");
        const QColor good = toneColor(ColoredText::Tone::good, b.dark);
        const QColor bad = toneColor(ColoredText::Tone::bad, b.dark);
        EXPECT_GT(good.green(), good.red());
        EXPECT_GT(bad.red(), bad.green());
        EXPECT_GE(contrast(good, b.background), 4.5);
        EXPECT_GE(contrast(bad, b.background), 4.5);
    }
}

}  // namespace
}  // namespace vellinor::test
