#include "app/FixedFrame.h"

#include <QEvent>
#include <QLayout>
#include <QMainWindow>
#include <QWindow>

FixedFrame::FixedFrame(QMainWindow* window, QWidget* textBox, QSize clientSize, QSize boxSize)
    : QObject(window), m_window(window), m_client(window->centralWidget()), m_textBox(textBox),
      m_clientSize(clientSize), m_boxSize(boxSize) {
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint);
    window->installEventFilter(this);
    m_client->installEventFilter(this);
    setFixed(true);
}

// The text box has its design size and covers the client area only while the
// frame cannot change. The layout keeps the frame at the menu bar's height
// plus the client area, whatever font and scale the menu bar ends up with.
void FixedFrame::setFixed(bool fixed) {
    if (fixed == m_fixed)
        return;
    m_fixed = fixed;
    if (fixed) {
        m_client->setFixedSize(m_clientSize);
        m_textBox->setGeometry(QRect(QPoint(0, 0), m_boxSize));
        m_window->layout()->setSizeConstraint(QLayout::SetFixedSize);
        m_window->layout()->activate();
        return;
    }
    m_fixedSize = m_window->size();
    m_window->layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
    m_client->setMinimumSize(0, 0);
    m_client->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    m_window->setMinimumSize(0, 0);
    m_window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void FixedFrame::followWindowState() {
    const QWindow* handle = m_window->windowHandle();
    const Qt::WindowStates states = handle ? handle->windowStates() : m_window->windowState();
    if (states & (Qt::WindowMaximized | Qt::WindowFullScreen))
        setFixed(false);
    else if (!m_fixed && m_window->size() == m_fixedSize)
        setFixed(true);
}

bool FixedFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_client && event->type() == QEvent::Resize && !m_fixed) {
        m_textBox->setGeometry(0, 0, m_client->width() + m_boxSize.width() - m_clientSize.width(),
                               m_client->height());
        return false;
    }
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        // Told at once when the window's own title bar asks for a state,
        // before the window system answers with a size; the window's events
        // come later.
        if (QWindow* handle = m_window->windowHandle(); handle && !m_watchingWindowState) {
            m_watchingWindowState = true;
            connect(handle, &QWindow::windowStateChanged, this, &FixedFrame::followWindowState);
        }
        break;
    case QEvent::WindowStateChange:
    case QEvent::Resize:
        followWindowState();
        break;
    default:
        break;
    }
    return false;
}
