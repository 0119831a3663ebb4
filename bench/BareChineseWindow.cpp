// The floor for the reader's start-up under X: what any Qt Widgets program
// that shows a Chinese text window costs, and nothing of the reader's own. It
// has the reader's menu captions and window size, and a plain text box with
// two lines of Chinese in the face the reader shows its articles in, so both
// programs open the same font files; it links Qt Widgets alone, so none of the
// reader's code or libraries is loaded.
//
// Usage: orvenla_bare_chinese_window (shows the window until it is closed)

#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>

namespace {

// The reader's text box, and with it its client area (one pixel narrower).
constexpr int BoxWidth = 713;
constexpr int BoxHeight = 449;

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare Chinese window"));

    QMenuBar* bar = window.menuBar();
    QMenu* settings = bar->addMenu(QStringLiteral("設定"));
    settings->addAction(QStringLiteral("字型"));
    settings->addAction(QStringLiteral("背景"));
    bar->addAction(QStringLiteral("首篇"));
    bar->addAction(QStringLiteral("到 ? 篇"));
    bar->addAction(QStringLiteral("<<<上一篇"));
    bar->addAction(QStringLiteral("下一篇>>>"));
    bar->addAction(QStringLiteral("說明"));

    auto* client = new QWidget(&window);
    auto* text = new QPlainTextEdit(client);
    text->setGeometry(0, 0, BoxWidth, BoxHeight);
    text->setFont(QFont(QStringLiteral("Noto Serif CJK TC"), 11));
    text->setPlainText(QStringLiteral("清晨推開窗，薄霧還停在屋簷下。\n燈火一盞接一盞亮起。"));
    window.setCentralWidget(client);
    client->setFixedSize(BoxWidth - 1, BoxHeight);

    window.show();
    return QApplication::exec();
}
