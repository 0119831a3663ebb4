#pragma once

#include "core/TitleList.h"
#include "store/DataFile.h"

#include <QAbstractListModel>
#include <QString>

#include <memory>
#include <vector>

class BackgroundTask;

// The list of titles as a view shows it, without widgets: the rows of one
// version of the collection for the text typed, matched in the titles at once
// or in the whole text on a task that the next change restarts, and after
// each change the row to select. A row reads as its number and title, and in
// the whole text also as its count of matches and the piece of the line
// around the first, the match in 【】.
class TitleListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit TitleListModel(QObject* parent = nullptr);
    ~TitleListModel() override;

    // Lists all of `version`'s articles, nothing typed yet, `article` selected.
    void open(std::shared_ptr<const DataFileIndex> version, bool wholeText, int article);
    // What is typed, and whether the whole text is searched. Selects the first
    // row, or `article` where nothing is typed.
    void setFilter(const QString& typed, bool wholeText, int article);
    // A new version of the collection: its rows, `article` of the version
    // before followed to its number in this one by its text, where it can be.
    void follow(std::shared_ptr<const DataFileIndex> version, int article);
    // The list closes: a search under way ends, and the version and the rows
    // are let go.
    void close();

    bool isSearching() const { return m_task != nullptr; }
    const std::shared_ptr<const DataFileIndex>& version() const { return m_version; }
    // The article listed in `row`; 0 outside the rows.
    int articleAt(int row) const;
    // "n 篇", or that a search is under way.
    QString countText() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

Q_SIGNALS:
    // The rows have been replaced; `row` is the one to select, -1 for none.
    void rowsShown(int row);
    // A whole-text search has started; its rows follow.
    void searchStarted();

private:
    // Where `article`, of which `copy` holds the text where it could be read
    // and `title` the title, is in `version`.
    static int followed(const DataFileIndex& version, int article,
                        const std::optional<DataFileIndex::SlotCopy>& copy, const QString& title);
    void filter(int article);
    void setRows(std::vector<TitleRow> rows, int article);

    std::shared_ptr<const DataFileIndex> m_version;
    QString m_typed;
    bool m_wholeText = false;
    std::vector<TitleRow> m_rows;
    bool m_rowsOfWholeText = false;
    std::unique_ptr<BackgroundTask> m_task;
};
