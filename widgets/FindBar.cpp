#include "widgets/FindBar.h"

#include <QAccessible>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

FindBar::FindBar(QWidget* parent)
    : QWidget(parent), m_field(new QLineEdit(this)), m_note(new QLabel(this)) {
    setObjectName(QStringLiteral("findBar"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    auto* caption = new QLabel(QStringLiteral("尋找："), this);
    caption->setBuddy(m_field);
    layout->addWidget(caption);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_note);
    m_field->setObjectName(QStringLiteral("findField"));
    m_field->setAccessibleName(QStringLiteral("尋找"));
    m_field->setAccessibleDescription(
        QStringLiteral("Enter 找下一個，Shift+Enter 找上一個，Esc 關閉；找到的文字在文章中選取。"));
    m_note->setObjectName(QStringLiteral("findNote"));
    m_field->installEventFilter(this);
    parent->installEventFilter(this);
    hide();
}

QString FindBar::text() const {
    return m_field->text();
}

void FindBar::open() {
    placeAtFoot();
    show();
    raise();
    // Focus first, for a reason that selects nothing: a screen reader takes a
    // selection in a field that has no focus yet for the focus moving there,
    // silently, and would then not name the field.
    m_field->setFocus(Qt::OtherFocusReason);
    m_field->selectAll();
}

void FindBar::say(const QString& note) {
    m_note->setText(note);
    m_note->setAccessibleName(note);
}

void FindBar::tell(const QString& note) {
    say(note);
    if (!isVisible()) {
        placeAtFoot();
        show();
        raise();
    }
    QAccessibleEvent alert(m_note, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void FindBar::placeAtFoot() {
    const int height = sizeHint().height();
    setGeometry(0, parentWidget()->height() - height, parentWidget()->width(), height);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        placeAtFoot();
    if (watched != m_field || event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (key->modifiers() & Qt::ShiftModifier)
            Q_EMIT previousAsked();
        else
            Q_EMIT nextAsked();
        return true;
    case Qt::Key_Escape:
        hide();
        Q_EMIT closed();
        return true;
    default:
        return false;
    }
}
