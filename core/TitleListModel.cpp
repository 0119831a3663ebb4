#include "core/TitleListModel.h"

#include "platform/BackgroundTask.h"
#include "store/DataFile.h"

#include <algorithm>
#include <cstdlib>

TitleListModel::TitleListModel(QObject* parent) : QAbstractListModel(parent) {}

TitleListModel::~TitleListModel() = default;

void TitleListModel::open(std::shared_ptr<const DataFileIndex> version, bool wholeText,
                          int article) {
    m_version = std::move(version);
    m_typed.clear();
    m_wholeText = wholeText;
    filter(article);
}

void TitleListModel::setFilter(const QString& typed, bool wholeText, int article) {
    m_typed = typed;
    m_wholeText = wholeText;
    filter(typed.isEmpty() ? article : 0);
}

void TitleListModel::follow(std::shared_ptr<const DataFileIndex> version, int article) {
    std::optional<DataFileIndex::SlotCopy> copy;
    QString title;
    if (m_version && article >= 1 && article <= m_version->count()) {
        title = m_version->titles().title(article).toString();
        if (const std::optional<QString> text = m_version->slotText(article))
            copy = m_version->copyOf(article, *text);
    }
    m_version = std::move(version);
    if (m_version)
        article = followed(*m_version, article, copy, title);
    filter(article);
}

int TitleListModel::followed(const DataFileIndex& version, int article,
                             const std::optional<DataFileIndex::SlotCopy>& copy,
                             const QString& title) {
    if (copy) {
        if (article <= version.count() && version.holds(article, *copy))
            return article;
        for (int other = 1; other <= version.count(); ++other) {
            if (version.holds(other, *copy))
                return other;
        }
        return article;
    }
    // A file written over in place no longer gives the text: the title
    // nearest to the number stands for it.
    int nearest = 0;
    for (int other = 1; !title.isEmpty() && other <= version.count(); ++other) {
        if (version.titles().title(other) == title &&
            (nearest == 0 || std::abs(other - article) < std::abs(nearest - article)))
            nearest = other;
    }
    return nearest > 0 ? nearest : article;
}

void TitleListModel::close() {
    m_version.reset();
    filter(0);
}

void TitleListModel::filter(int article) {
    m_task.reset();
    if (!m_version) {
        setRows({}, 0);
        return;
    }
    if (!m_wholeText || m_typed.isEmpty()) {
        setRows(filterTitles(m_version->titles(), m_typed), article);
        return;
    }
    // The rows on show stay until the search has ended, so that the keys
    // still move through them.
    auto found = std::make_shared<std::optional<std::vector<TitleRow>>>();
    m_task = std::make_unique<BackgroundTask>(
        this,
        [version = m_version, typed = m_typed, found](const std::atomic<bool>& stop) {
            *found = filterTexts(*version, typed, stop);
        },
        [this, found, article](std::exception_ptr failure) {
            m_task.reset();
            setRows(!failure && *found ? std::move(**found) : std::vector<TitleRow>{}, article);
        });
    Q_EMIT searchStarted();
}

void TitleListModel::setRows(std::vector<TitleRow> rows, int article) {
    const auto at = std::find_if(rows.begin(), rows.end(),
                                 [&](const TitleRow& row) { return row.article == article; });
    beginResetModel();
    m_rows = std::move(rows);
    m_rowsOfWholeText = m_wholeText && !m_typed.isEmpty();
    endResetModel();
    Q_EMIT rowsShown(m_rows.empty() ? -1 : at == m_rows.end() ? 0 : int(at - m_rows.begin()));
}

int TitleListModel::articleAt(int row) const {
    return row >= 0 && size_t(row) < m_rows.size() ? m_rows[size_t(row)].article : 0;
}

QString TitleListModel::countText() const {
    return isSearching() ? QStringLiteral("搜尋中…") : QStringLiteral("%1 篇").arg(m_rows.size());
}

int TitleListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant TitleListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || size_t(index.row()) >= m_rows.size() || !m_version ||
        (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    const TitleRow& row = m_rows[size_t(index.row())];
    const QString text =
        QStringLiteral("%1　%2").arg(row.article).arg(m_version->titles().title(row.article));
    if (!m_rowsOfWholeText)
        return text;
    const TextMatch mark = row.marked;
    return text + QStringLiteral("　（%1 處）　%2【%3】%4")
                      .arg(row.matches)
                      .arg(row.excerpt.first(mark.start),
                           row.excerpt.sliced(mark.start, mark.end - mark.start),
                           row.excerpt.sliced(mark.end));
}
