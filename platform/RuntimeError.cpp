#include "platform/RuntimeError.h"

#include "platform/FileNames.h"

#include <utility>

RuntimeError::RuntimeError(int number, QString description, QString detail)
    : m_number(number), m_description(std::move(description)), m_detail(std::move(detail)) {
    m_what = QStringLiteral("%1 %2").arg(m_number).arg(m_description).toUtf8();
}

QString RuntimeError::reportText() const {
    QString text = QStringLiteral("執行階段錯誤 '%1'：\n%2").arg(m_number).arg(m_description);
    if (!m_detail.isEmpty())
        text += QStringLiteral("\n\n") + m_detail;
    return text;
}

RuntimeError RuntimeError::overflow() {
    return {Overflow, QStringLiteral("溢位 (Overflow)")};
}

RuntimeError RuntimeError::outOfMemory(QString detail) {
    return {OutOfMemory, QStringLiteral("記憶體不足 (Out of memory)"), std::move(detail)};
}

RuntimeError RuntimeError::subscriptOutOfRange(QString detail) {
    return {SubscriptOutOfRange, QStringLiteral("陣列索引超出範圍 (Subscript out of range)"),
            std::move(detail)};
}

RuntimeError RuntimeError::typeMismatch() {
    return {TypeMismatch, QStringLiteral("型態不符合 (Type mismatch)")};
}

RuntimeError RuntimeError::fileNotFound(const QString& path) {
    return {FileNotFound, QStringLiteral("找不到檔案 (File not found)"),
            QStringLiteral("檔案：%1").arg(displayFileName(path))};
}

RuntimeError RuntimeError::diskFull(const QString& path) {
    return {DiskFull, QStringLiteral("磁碟已滿 (Disk full)"),
            QStringLiteral("檔案：%1").arg(displayFileName(path))};
}

RuntimeError RuntimeError::fileAccess(const QString& path, const QString& reason) {
    return {PathFileAccess, QStringLiteral("路徑/檔案存取錯誤 (Path/File access error)"),
            QStringLiteral("檔案：%1\n%2").arg(displayFileName(path), reason)};
}

RuntimeError RuntimeError::permissionDenied(const QString& path, const QString& reason) {
    return {PermissionDenied, QStringLiteral("沒有使用權限 (Permission denied)"),
            QStringLiteral("檔案：%1\n%2").arg(displayFileName(path), reason)};
}

RuntimeError RuntimeError::chooserCancelled() {
    return {ChooserCancelled, QStringLiteral("已選取取消 (Cancel was selected)")};
}

RuntimeError RuntimeError::invalidPropertyValue() {
    return {InvalidPropertyValue, QStringLiteral("無效的屬性值 (Invalid property value)")};
}

RuntimeError RuntimeError::internal(const QString& detail) {
    return {InternalError, QStringLiteral("內部錯誤 (Internal error)"), detail};
}
