#pragma once

#include <QObject>
#include <QSize>

class QMainWindow;
class QWidget;

// Keeps a main window at its design size: the client area fixed at the size
// given, with the text box at its own design size in it, and the frame
// offering minimising but no resizing or maximising.
//
// Some window systems maximise or fill the screen with any window: Wayland
// compositors through the title bar Qt draws there, which offers maximising
// whatever the window allows. A compositor then requires the size it gives,
// and ends the program that keeps another. So the frame is let free while the
// window is maximised or full screen, the text box filling the client area,
// and fixed again once the window is back at its design size.
class FixedFrame : public QObject {
    Q_OBJECT

public:
    // `textBox` lies in the window's central widget, `boxSize` wide and
    // high; the client area is `clientSize`.
    FixedFrame(QMainWindow* window, QWidget* textBox, QSize clientSize, QSize boxSize);

    bool isFixed() const { return m_fixed; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setFixed(bool fixed);
    void followWindowState();

    // As widgets: the filter also sees the window's last events, while it is
    // being destroyed and no longer a QMainWindow.
    QWidget* m_window;
    QWidget* m_client;
    QWidget* m_textBox;
    QSize m_clientSize;
    QSize m_boxSize;
    bool m_fixed = false;
    bool m_watchingWindowState = false;
    // The window's size when its frame was last let free.
    QSize m_fixedSize;
};
