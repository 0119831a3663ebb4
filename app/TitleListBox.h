#pragma once

#include "app/ArticleFinder.h"
#include "core/TitleList.h"

#include <QFrame>

#include <memory>
#include <vector>

class BackgroundTask;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class TitleRowsModel;

// The list of titles (目錄) over the window's client area: a filter field
// that keeps the keys, the count of articles listed and the rows. Typing
// narrows the rows to the titles that hold the text, or with 全文 (Ctrl+F
// here) to the articles whose whole text does, searched on a task that the
// next keystroke restarts. Up, Down, Page Up, Page Down, Home and End move
// the selection; Enter or a double-click shows the article and closes the
// list; Esc closes it. The keys then go back to the text box.
//
// The titles are read from the version on show when the list opens, and read
// again from each new version while it is open, the selection kept on its
// article by its text.
class TitleListBox : public QFrame {
    Q_OBJECT

public:
    TitleListBox(ArticleFinder::Window window, QWidget* parent);
    ~TitleListBox() override;

    // Ctrl+T: the list, the article on show selected, the keys in the field.
    void open();
    void collectionReplaced();
    bool isSearching() const { return m_task != nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void readTitles();
    void filter();
    void showRows(std::vector<TitleRow> rows, int selectedArticle);
    void tellCount();
    void chooseSelected();
    void closeList();
    int selectedArticle() const;

    ArticleFinder::Window m_window;
    std::shared_ptr<const DataFileIndex> m_version;
    ArticleTitles m_titles;
    QLineEdit* m_field;
    QCheckBox* m_wholeText;
    QLabel* m_count;
    QListView* m_list;
    TitleRowsModel* m_model;
    std::unique_ptr<BackgroundTask> m_task;
};
