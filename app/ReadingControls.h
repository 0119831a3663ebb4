#pragma once

#include "appearance/ReadingLook.h"

#include <QObject>
#include <QTimer>

#include <functional>

class QAction;
class QMainWindow;
class QPlainTextEdit;
class SettingsStore;
class VerticalTextView;

// The window's choice of how the article is shown, and its zoom. 直排 puts the
// vertical view over the text box or takes it away, and is kept per
// collection; the zoom keys and Ctrl+wheel, over either view, set the text
// box's font size (which the vertical view follows) and keep it as the saved
// font size within a second. A choice the store cannot keep still applies to
// this run.
class ReadingControls : public QObject {
    Q_OBJECT

public:
    // `application` names the collection the choices are filed under. The
    // window's 直排 action is made checkable, and Ctrl+= made a second key of
    // zooming in.
    ReadingControls(QPlainTextEdit* box, SettingsStore& settings,
                    std::function<QString()> application, QMainWindow* window);
    // A zoom not saved yet is saved now.
    ~ReadingControls() override;

    // Start-up: vertical again when this collection was last read so.
    void restore();
    void toggleVertical();
    // Larger (positive), smaller (negative) or back to the chosen size (0).
    void zoom(int direction);
    VerticalTextView* verticalView() const { return m_vertical; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showVertical(bool vertical);
    void saveZoom();
    appearance::SavedAppearance saved() {
        m_application = m_applicationName();
        return {m_settings, m_application};
    }

    QPlainTextEdit* m_box;
    VerticalTextView* m_vertical;
    QAction* m_verticalAction;
    SettingsStore& m_settings;
    std::function<QString()> m_applicationName;
    QString m_application;
    appearance::Zoom m_zoom;
    bool m_zoomRestored = false;
    int m_wheelAngle = 0;
    QTimer m_zoomSave;
};
