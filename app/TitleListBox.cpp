#include "app/TitleListBox.h"

#include "app/ArticleView.h"
#include "appearance/TextAppearance.h"
#include "core/TitleListModel.h"
#include "store/DataFile.h"
#include "widgets/Dialogs.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSignalBlocker>
#include <QVBoxLayout>

TitleListBox::TitleListBox(ArticleFinder::Window window, QWidget* parent)
    : QFrame(parent), m_window(std::move(window)), m_field(new QLineEdit(this)),
      m_wholeText(new QCheckBox(QStringLiteral("全文 (Ctrl+F)"), this)), m_count(new QLabel(this)),
      m_list(new QListView(this)), m_model(new TitleListModel(this)) {
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
    m_wholeText->setAccessibleName(QStringLiteral("篩選全文"));
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
    connect(m_model, &TitleListModel::rowsShown, this, &TitleListBox::select);
    connect(m_model, &TitleListModel::searchStarted, this, &TitleListBox::tellCount);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                // The keys stay in the field: the row selected is read as
                // the field's description.
                m_field->setAccessibleDescription(current.data(Qt::AccessibleTextRole).toString());
            });
    hide();
}

TitleListBox::~TitleListBox() = default;

bool TitleListBox::isSearching() const {
    return m_model->isSearching();
}

void TitleListBox::open() {
    // Within the window, over the text box: the window keeps its size.
    setGeometry(parentWidget()->rect());
    {
        const QSignalBlocker quiet(m_field);
        m_field->clear();
    }
    m_model->open(m_window.collection(), m_wholeText->isChecked(), m_window.position().current);
    show();
    raise();
    m_field->setFocus();
}

void TitleListBox::filter() {
    m_model->setFilter(m_field->text(), m_wholeText->isChecked(), m_window.position().current);
}

void TitleListBox::select(int row) {
    tellCount();
    if (row < 0) {
        m_field->setAccessibleDescription({});
        return;
    }
    const QModelIndex index = m_model->index(row);
    m_list->setCurrentIndex(index);
    m_list->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void TitleListBox::tellCount() {
    m_count->setText(m_model->countText());
    m_list->setAccessibleDescription(m_count->text());
}

void TitleListBox::chooseSelected() {
    const int article = m_model->articleAt(m_list->currentIndex().row());
    const std::shared_ptr<const DataFileIndex>& version = m_model->version();
    // Nothing selected, or an article the file cannot give now (written over
    // in place) or the reader cannot show yet: the beep, and the list stays,
    // to follow the new version when it comes.
    const std::optional<QString> text =
        article > 0 && version ? version->slotText(article) : std::nullopt;
    if (!text || !m_window.showArticle(qint16(article), *text)) {
        m_window.dialogs.beep();
        return;
    }
    closeList();
}

void TitleListBox::closeList() {
    m_model->close();
    hide();
    m_window.textBox->setFocus();
}

void TitleListBox::collectionReplaced() {
    if (isVisible())
        m_model->follow(m_window.collection(), m_model->articleAt(m_list->currentIndex().row()));
}

bool TitleListBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_field)
        return QFrame::eventFilter(watched, event);
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    // Ctrl+F is find in the window; here it is the list's own.
    if (event->type() == QEvent::ShortcutOverride) {
        if (!key->matches(QKeySequence::Find))
            return false;
        event->accept();
        return true;
    }
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
