#include "app/attachments/attachments_dialog.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDrag>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "app/attachments/embedded_file_saving.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/dialog_runner.h"
#include "app/widgets/file_name.h"
#include "app/widgets/table_view.h"
#include "format/utils.h"

namespace vellinor {
namespace {

const QString kName = QStringLiteral("name");
const QString kType = QStringLiteral("mimeType");
const QString kSize = QStringLiteral("size");
const QString kDescription = QStringLiteral("description");

// A table whose drags carry the selected file, not the model's text.
class EmbeddedFilesView final : public TableView {
public:
    using TableView::TableView;
    std::function<void()> startDragging;

protected:
    void startDrag(Qt::DropActions) override
    {
        if (startDragging)
            startDragging();
    }
};

QString quoted(const QString& name)
{
    return u'\u201c' + name + u'\u201d';
}

// A tag as shown in one table cell: line breaks and other controls would break the row.
QString shown(const std::string& text)
{
    QString shownText = QString::fromStdString(text);
    for (QChar& c : shownText) {
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    }
    return shownText;
}

QString counted(int count, const QString& one, const QString& many)
{
    return QString::number(count) + u' ' + (count == 1 ? one : many);
}

QString summary(const QString& fileName, const std::vector<EmbeddedFile>& files)
{
    int pictures = 0;
    for (const auto& file : files)
        pictures += file.isPicture ? 1 : 0;
    const int attachments = static_cast<int>(files.size()) - pictures;
    QStringList parts;
    if (pictures > 0)
        parts.append(counted(pictures, QStringLiteral("picture"), QStringLiteral("pictures")));
    if (attachments > 0)
        parts.append(
            counted(attachments, QStringLiteral("attachment"), QStringLiteral("attachments")));
    if (parts.isEmpty())
        return quoted(fileName) + QStringLiteral(" has no embedded pictures or attachments.");
    return quoted(fileName) + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

}  // namespace

AttachmentsDialog::AttachmentsDialog(DialogRunner& dialogs, QWidget* parent,
                                     std::shared_ptr<ToolRunner> runner)
    : QDialog(parent), m_dialogs(dialogs), m_runner(std::move(runner))
{
    setWindowTitle(QStringLiteral("Pictures and Attachments"));
    setSizeGripEnabled(true);
    resize(640, 320);

    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_list = new ArrayController({{kName, QStringLiteral("Name")},
                                  {kType, QStringLiteral("Type")},
                                  {kSize, QStringLiteral("Size")},
                                  {kDescription, QStringLiteral("Description")}},
                                 this);
    auto* view = new EmbeddedFilesView(this);
    view->startDragging = [this] { dragSelected(); };
    m_view = view;
    m_view->setModel(m_list->model());
    QItemSelectionModel* ownSelection = m_view->selectionModel();
    m_view->setSelectionModel(m_list->selectionModel());
    delete ownSelection;
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setDragEnabled(true);
    m_view->setDragDropMode(QAbstractItemView::DragOnly);
    m_view->setShowGrid(false);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->horizontalHeader()->setMaximumSectionSize(320);
    m_view->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);

    auto* buttons = new QDialogButtonBox(this);
    m_save = buttons->addButton(QStringLiteral("Save..."), QDialogButtonBox::ActionRole);
    m_saveAll = buttons->addButton(QStringLiteral("Save All..."), QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    addMnemonics(*buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_view, 1);
    layout->addWidget(buttons);

    connect(m_save, &QPushButton::clicked, this, &AttachmentsDialog::saveSelected);
    connect(m_saveAll, &QPushButton::clicked, this, &AttachmentsDialog::saveAll);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_view, &QAbstractItemView::doubleClicked, this, &AttachmentsDialog::saveSelected);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &AttachmentsDialog::updateButtons);
    connect(&m_reading, &QFutureWatcher<Reading>::finished, this,
            &AttachmentsDialog::readingFinished);

    auto* saveAction = new QAction(QStringLiteral("Save..."), m_view);
    connect(saveAction, &QAction::triggered, this, &AttachmentsDialog::saveSelected);
    m_view->addAction(saveAction);
    auto* saveAllAction = new QAction(QStringLiteral("Save All..."), m_view);
    connect(saveAllAction, &QAction::triggered, this, &AttachmentsDialog::saveAll);
    m_view->addAction(saveAllAction);

    updateButtons();
}

// A reading still running is not waited for: it holds nothing of the dialog's.
AttachmentsDialog::~AttachmentsDialog() = default;

void AttachmentsDialog::showFile(const QString& path)
{
    m_path = path;
    m_files.clear();
    m_isReading = !path.isEmpty();
    m_list->setContent({});
    updateButtons();
    if (path.isEmpty()) {
        m_status->clear();
        return;
    }
    m_status->setText(QStringLiteral("Reading ") + quoted(fileNameOf(path)) +
                      QStringLiteral("\u2026"));
    // A reading still running for an earlier file finishes unseen: only the last one counts.
    m_reading.setFuture(
        QtConcurrent::run([local = QFile::encodeName(path).toStdString(), runner = m_runner] {
            return embeddedFiles(local, runner.get());
        }));
}

void AttachmentsDialog::readingFinished()
{
    m_isReading = false;
    Reading reading = m_reading.result();
    const QString fileName = fileNameOf(m_path);
    if (!reading) {
        m_status->setText(quoted(fileName) + QStringLiteral(" could not be read: ") +
                          QString::fromStdString(reading.error()) + u'.');
    } else {
        m_files = std::move(reading->files);
        QList<QVariantMap> rows;
        for (std::size_t i = 0; i < m_files.size(); ++i) {
            const EmbeddedFile& file = m_files[i];
            rows.append(
                {{kName, file.name.empty() ? proposedName(static_cast<int>(i)) : shown(file.name)},
                 {kType, shown(file.mimeType)},
                 {kSize, QString::fromStdString(Utils::formatByteCount(file.bytes.size()))},
                 {kDescription, shown(file.description)}});
        }
        m_list->setContent(rows);
        m_view->resizeColumnsToContents();
        // Room between the columns, which fit their text exactly otherwise.
        for (int column = 0; column + 1 < m_list->model()->columnCount(); ++column)
            m_view->setColumnWidth(column, m_view->columnWidth(column) + 16);
        if (!rows.isEmpty())
            m_list->setSelectionIndex(0);
        // Items left out are named under the summary, one per line.
        QStringList lines{m_files.empty() && !reading->problems.empty()
                              ? quoted(fileName) +
                                    QStringLiteral(" holds embedded items that could not be read:")
                              : summary(fileName, m_files)};
        for (const std::string& problem : reading->problems)
            lines.append(QString::fromStdString(problem));
        m_status->setText(lines.join(u'\n'));
    }
    updateButtons();
    Q_EMIT listed();
}

void AttachmentsDialog::updateButtons()
{
    m_save->setEnabled(selectedRow() >= 0);
    m_saveAll->setEnabled(!m_files.empty());
}

int AttachmentsDialog::selectedRow() const
{
    const QList<int> rows = m_list->selectionIndexes();
    if (rows.isEmpty() || rows.first() < 0 ||
        static_cast<std::size_t>(rows.first()) >= m_files.size())
        return -1;
    return rows.first();
}

QString AttachmentsDialog::proposedName(int row) const
{
    return embeddedFileProposedName(m_files[static_cast<std::size_t>(row)], m_path, row + 1);
}

void AttachmentsDialog::saveSelected()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    saveEmbeddedFile({m_dialogs, this, this}, m_files[static_cast<std::size_t>(row)],
                     proposedName(row));
}

void AttachmentsDialog::saveAll()
{
    saveEmbeddedFiles({m_dialogs, this, this}, m_files, m_path);
}

void AttachmentsDialog::dragSelected()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    QMimeData* dragged =
        embeddedFileDragData(m_files[static_cast<std::size_t>(row)], proposedName(row));
    if (dragged == nullptr)
        return;
    auto* drag = new QDrag(m_view);
    drag->setMimeData(dragged);
    drag->exec(Qt::CopyAction);
}

}  // namespace vellinor
