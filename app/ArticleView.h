#pragma once

class QPlainTextEdit;
class QString;

// The article text box's design size in pixels (10695 by 6735 twips): as high
// as the window's client area and one pixel wider.
inline constexpr int ArticleBoxWidth = 713;
inline constexpr int ArticleBoxHeight = 449;

// Puts an article's text into the text box, wrapping at word boundaries
// unless the article holds a run so long without a break opportunity that
// Qt's word wrapping would take quadratic time over it; such an article wraps
// anywhere.
void showArticleText(QPlainTextEdit* box, const QString& text);
