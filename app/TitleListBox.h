#pragma once

#include "app/ArticleFinder.h"

#include <QFrame>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class TitleListModel;

// The list of titles (目錄) over the window's client area, a view of a
// TitleListModel: a filter field that keeps the keys, the 全文 switch (Ctrl+F
// here), the count of articles listed and the rows. Up, Down, Page Up, Page
// Down, Home and End move the selection; Enter or a double-click shows the
// article as after any move and closes the list; Esc closes it. The keys
// then go back to the text box.
//
// The rows are the version on show when the list opens, and each new version
// while it is open, the selection kept on its article by its text.
class TitleListBox : public QFrame {
    Q_OBJECT

public:
    TitleListBox(ArticleFinder::Window window, QWidget* parent);
    ~TitleListBox() override;

    // Ctrl+T: the list, the article on show selected, the keys in the field.
    void open();
    void collectionReplaced();
    bool isSearching() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void filter();
    void select(int row);
    void tellCount();
    void chooseSelected();
    void closeList();

    ArticleFinder::Window m_window;
    QLineEdit* m_field;
    QCheckBox* m_wholeText;
    QLabel* m_count;
    QListView* m_list;
    TitleListModel* m_model;
};
