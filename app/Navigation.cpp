// Moving between articles, and the help message.

#include "app/Form1.h"

#include "app/HelpText.h"
#include "platform/Dialogs.h"
#include "platform/Int16.h"
#include "platform/NumberReadings.h"
#include "platform/RuntimeError.h"

#include <QAction>

void Form1::Command1_Click() {
    if (CurArticle <= 1) {
        m_services.dialogs.beep();
    } else {
        mnext->setEnabled(true);
        CurArticle = int16::add(CurArticle, -1);
        ShowArticle(CurArticle);
    }
    if (CurArticle == 1)
        mpre->setEnabled(false);
    RefreshTitle();
}

void Form1::Command2_Click() {
    if (CurArticle < ArticleCount) {
        mpre->setEnabled(true);
        CurArticle = int16::add(CurArticle, 1);
        ShowArticle(CurArticle);
    } else {
        m_services.dialogs.beep();
    }
    if (CurArticle == ArticleCount)
        mnext->setEnabled(false);
    RefreshTitle();
}

void Form1::mstart_Click() {
    CurArticle = 1;
    ShowArticle(1);
    mpre->setEnabled(false);
    mnext->setEnabled(true);
    RefreshTitle();
}

void Form1::mto_Click() {
    const QString typed =
        m_services.dialogs.askText(this, QStringLiteral("到第幾篇??"), QStringLiteral("輸入"));
    if (!numbers::isNumeric(typed))
        return;
    if (numbers::value(typed) > double(ArticleCount)) {
        m_services.dialogs.showMessage(this, QStringLiteral("輸入篇數過大"),
                                       QStringLiteral("錯誤輸入"));
        return;
    }
    if (numbers::leadingValue(typed) == 0.0)
        return;
    qint16 target = 0;
    try {
        target = numbers::roundToInt16(numbers::value(typed));
    } catch (const RuntimeError&) {
        return; // a typo such as -40000 is ignored like a cancelled box
    }
    if (target < 0)
        return;
    CurArticle = target;
    ShowArticle(CurArticle);
    RefreshTitle();
    if (CurArticle == ArticleCount)
        mnext->setEnabled(false);
}

void Form1::mhelp_Click() {
    m_services.dialogs.showMessage(this, helpText(), helpTitle());
}
