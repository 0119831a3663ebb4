#include "app/HelpText.h"

#include <QString>
#include <QStringList>

QString helpText() {
    const QStringList items{
        QStringLiteral("1.更新目錄裡的 《data.txt》 檔來更新及儲存文章。"),
        QStringLiteral("2.關閉程式時，將自動紀錄目前文章篇數，方便下次開啟 ﹗"),
        QStringLiteral("3.下一篇: Enter 或向右鍵﹗"),
        QStringLiteral("4.上一篇:向左鍵﹗"),
    };
    return items.join(QStringLiteral("\r\n\r\n"));
}

QString helpTitle() {
    return QStringLiteral(" Dornbey 說明");
}
