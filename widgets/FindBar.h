#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

// A line at the foot of its parent for the text to find, with a note beside
// it that never stops the user (no box to dismiss). Enter asks for the next
// match, Shift+Enter for the previous one; Esc closes the bar.
class FindBar : public QWidget {
    Q_OBJECT

public:
    explicit FindBar(QWidget* parent);

    QString text() const;
    // Shows the bar with what it holds selected, and gives it the keys.
    void open();
    void say(const QString& note);
    // A note the user must see though the bar was closed: the bar shows it
    // without taking the keys, and a screen reader is told it at once.
    void tell(const QString& note);

Q_SIGNALS:
    void nextAsked();
    void previousAsked();
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeAtFoot();

    QLineEdit* m_field;
    QLabel* m_note;
};
