#include "app/TitleListBox.h"

#include "app/ArticleView.h"
#include "appearance/TextAppearance.h"
#include "platform/BackgroundTask.h"
#include "store/DataFile.h"
#include "widgets/Dialogs.h"

#include <QAbstractListModel>
#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QVBoxLayout>

// The rows as the list shows and a screen reader reads them: the number and
// the title, and in the whole-text mode the count and the excerpt with its
// match in brackets.
class TitleRowsModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void setRows(const ArticleTitles* titles, std::vector<TitleRow> rows, bool wholeText) {
        beginResetModel();
        m_titles = titles;
        m_rows = std::move(rows);
        m_wholeText = wholeText;
        endResetModel();
    }
    const std::vector<TitleRow>& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
            return {};
        const TitleRow& row = m_rows[size_t(index.row())];
        QString text = QStringLiteral("%1　%2").arg(row.article).arg(m_titles->title(row.article));
        if (!m_wholeText)
            return text;
        const TextMatch mark = row.marked;
        return text + QStringLiteral("　（%1 處）　%2【%3】%4")
                          .arg(row.matches)
                          .arg(row.excerpt.first(mark.start),
                               row.excerpt.sliced(mark.start, mark.end - mark.start),
                               row.excerpt.sliced(mark.end));
    }

private:
    const ArticleTitles* m_titles = nullptr;
    std::vector<TitleRow> m_rows;
    bool m_wholeText = false;
};

TitleListBox::TitleListBox(ArticleFinder::Window window, QWidget* parent)
    : QFrame(parent), m_window(std::move(window)), m_field(new QLineEdit(this)),
      m_wholeText(new QCheckBox(QStringLiteral("全文 (Ctrl+F)"), this)), m_count(new QLabel(this)),
      m_list(new QListView(this)), m_model(new TitleRowsModel(this)) {
    setObjectName(QStringLiteral("titleList"));
    setFrameShape(QFrame::Panel);
    setAutoFillBackground(true);
    setFont(appearance::programFont());
    auto* caption = new QLabel(QStringLiteral("目錄"), this);
    m_field->setObjectName(QStringLiteral("titleFilter"));
    m_field->setPlaceholderText(QStringLiteral("篩選標題，或輸入篇數"));
    m_field->setAccessibleName(QStringLiteral("篩選目錄"));
    m_field->installEventFilter(this);
    m_wholeText->setObjectName(QStringLiteral("wholeTextSwitch"));
    m_wholeText->setFocusPolicy(Qt::NoFocus);
    m_count->setObjectName(QStringLiteral("titleCount"));
    m_list->setObjectName(QStringLiteral("titleRows"));
    m_list->setAccessibleName(QStringLiteral("目錄"));
    m_list->setModel(m_model);
    m_list->setUniformItemSizes(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setFocusPolicy(Qt::NoFocus);
    auto* head = new QHBoxLayout;
    head->addWidget(caption);
    head->addWidget(m_field, 1);
    head->addWidget(m_wholeText);
    head->addWidget(m_count);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(m_list, 1);
    connect(m_field, &QLineEdit::textChanged, this, &TitleListBox::filter);
    connect(m_wholeText, &QCheckBox::toggled, this, [this] {
        filter();
        m_field->setFocus();
    });
    connect(m_list, &QListView::doubleClicked, this, &TitleListBox::chooseSelected);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                // The keys stay in the field: the row selected is read as
                // the field's description.
                m_field->setAccessibleDescription(current.data(Qt::AccessibleTextRole).toString());
            });
    hide();
}

TitleListBox::~TitleListBox() = default;

void TitleListBox::open() {
    // Within the window, over the text box: the window keeps its size.
    setGeometry(parentWidget()->rect());
    readTitles();
    m_field->clear();
    filter();
    show();
    raise();
    m_field->setFocus();
}

void TitleListBox::readTitles() {
    const std::shared_ptr<const DataFileIndex> version = m_window.collection();
    if (version == m_version)
        return;
    m_version = version;
    m_titles = version ? ArticleTitles(*version) : ArticleTitles();
}

void TitleListBox::filter() {
    m_task.reset();
    const QString typed = m_field->text();
    const int current = m_window.position().current;
    if (!m_wholeText->isChecked() || typed.isEmpty()) {
        showRows(filterTitles(m_titles, typed), typed.isEmpty() ? current : 0);
        return;
    }
    m_count->setText(QStringLiteral("搜尋中…"));
    auto found = std::make_shared<std::optional<std::vector<TitleRow>>>();
    m_task = std::make_unique<BackgroundTask>(
        this,
        [version = m_version, typed, found](const std::atomic<bool>& stop) {
            if (version)
                *found = filterTexts(*version, typed, stop);
        },
        [this, found](std::exception_ptr failure) {
            m_task.reset();
            if (!failure && *found)
                showRows(std::move(**found), 0);
        });
}

// Selects `selectedArticle` where it is listed, else the first row.
void TitleListBox::showRows(std::vector<TitleRow> rows, int selectedArticle) {
    const auto at = std::find_if(rows.begin(), rows.end(), [&](const TitleRow& row) {
        return row.article == selectedArticle;
    });
    const int selected = at == rows.end() ? 0 : int(at - rows.begin());
    m_model->setRows(&m_titles, std::move(rows),
                     m_wholeText->isChecked() && !m_field->text().isEmpty());
    tellCount();
    if (m_model->rowCount({}) == 0)
        return;
    const QModelIndex index = m_model->index(selected);
    m_list->setCurrentIndex(index);
    m_list->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void TitleListBox::tellCount() {
    const QString count = QStringLiteral("%1 篇").arg(m_model->rowCount({}));
    m_count->setText(count);
    m_list->setAccessibleDescription(count);
}

int TitleListBox::selectedArticle() const {
    const QModelIndex current = m_list->currentIndex();
    return current.isValid() ? m_model->rows()[size_t(current.row())].article : 0;
}

void TitleListBox::chooseSelected() {
    const int article = selectedArticle();
    if (article == 0 || !m_version) {
        m_window.dialogs.beep();
        return;
    }
    const std::optional<QString> text = m_version->slotText(article);
    closeList();
    if (text)
        m_window.showArticle(qint16(article), *text);
}

void TitleListBox::closeList() {
    m_task.reset();
    hide();
    m_window.textBox->setFocus();
}

void TitleListBox::collectionReplaced() {
    if (!isVisible()) {
        // Read again when next opened.
        m_version.reset();
        return;
    }
    const int article = selectedArticle();
    std::optional<DataFileIndex::SlotCopy> copy;
    if (const auto text = m_version && article ? m_version->slotText(article) : std::nullopt)
        copy = m_version->copyOf(article, *text);
    readTitles();
    int follow = article;
    if (copy && m_version && (article > m_version->count() || !m_version->holds(article, *copy))) {
        for (int other = 1; other <= m_version->count(); ++other) {
            if (m_version->holds(other, *copy)) {
                follow = other;
                break;
            }
        }
    }
    if (m_wholeText->isChecked() && !m_field->text().isEmpty()) {
        filter();
        return;
    }
    showRows(filterTitles(m_titles, m_field->text()), follow);
}

bool TitleListBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_field)
        return QFrame::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    // Ctrl+F is find in the window; here it is the list's own.
    if (event->type() == QEvent::ShortcutOverride && key->matches(QKeySequence::Find)) {
        event->accept();
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    if (key->matches(QKeySequence::Find)) {
        m_wholeText->toggle();
        return true;
    }
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End: {
        QKeyEvent moved(QEvent::KeyPress, key->key(), Qt::NoModifier);
        QCoreApplication::sendEvent(m_list, &moved);
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        chooseSelected();
        return true;
    case Qt::Key_Escape:
        closeList();
        return true;
    default:
        return false;
    }
}
