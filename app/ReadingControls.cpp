#include "app/ReadingControls.h"

#include "platform/RuntimeError.h"
#include "widgets/VerticalTextView.h"

#include <QAction>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QWheelEvent>

namespace {

// A wheel's notch.
constexpr int NotchAngle = 120;

} // namespace

ReadingControls::ReadingControls(QPlainTextEdit* box, SettingsStore& settings,
                                 std::function<QString()> application, QMainWindow* window)
    : QObject(window), m_box(box), m_vertical(new VerticalTextView(box)),
      m_verticalAction(window->findChild<QAction*>(QStringLiteral("verticalAction"))),
      m_settings(settings), m_applicationName(std::move(application)) {
    m_verticalAction->setCheckable(true);
    if (auto* zoomIn = window->findChild<QAction*>(QStringLiteral("zoomInAction")))
        zoomIn->setShortcuts({zoomIn->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    // The text box would zoom itself by the wheel, unsaved.
    box->viewport()->installEventFilter(this);
    m_vertical->viewport()->installEventFilter(this);
    // As the bookmark is: a run of steps is written once, within a second.
    m_zoomSave.setSingleShot(true);
    m_zoomSave.setInterval(1000);
    connect(&m_zoomSave, &QTimer::timeout, this, &ReadingControls::saveZoom);
}

ReadingControls::~ReadingControls() {
    if (m_zoomSave.isActive())
        saveZoom();
}

void ReadingControls::restore() {
    showVertical(appearance::savedVertical(saved()));
}

void ReadingControls::showVertical(bool vertical) {
    m_vertical->setActive(vertical);
    m_verticalAction->setChecked(vertical);
}

void ReadingControls::toggleVertical() {
    const bool vertical = !m_vertical->isActive();
    showVertical(vertical);
    try {
        appearance::saveVertical(saved(), vertical);
    } catch (const RuntimeError&) {
        // Shown as chosen for this run.
    }
}

void ReadingControls::zoom(int direction) {
    const appearance::SavedAppearance store = saved();
    if (!std::exchange(m_zoomRestored, true))
        m_zoom.restore(store);
    QFont font = m_box->font();
    const float size = m_zoom.step(float(font.pointSizeF()), direction);
    if (double(size) == font.pointSizeF())
        return;
    font.setPointSizeF(double(size));
    m_box->setFont(font);
    if (!m_zoomSave.isActive())
        m_zoomSave.start();
}

void ReadingControls::saveZoom() {
    m_zoomSave.stop();
    try {
        // Under the name of the last step: the window may be going.
        m_zoom.save({m_settings, m_application});
    } catch (const RuntimeError&) {
        // Applied to this run.
    }
}

bool ReadingControls::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier))
        return false;
    // Fine-grained wheels and touchpads step once a notch's worth.
    m_wheelAngle += wheel->angleDelta().y();
    for (; m_wheelAngle >= NotchAngle; m_wheelAngle -= NotchAngle)
        zoom(1);
    for (; m_wheelAngle <= -NotchAngle; m_wheelAngle += NotchAngle)
        zoom(-1);
    return true;
}
