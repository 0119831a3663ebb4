#pragma once

#include <QString>

#include <exception>

// A numbered runtime error, the one way failures travel in this program.
// The detail, when present, tells the user what the bare description cannot
// (the file concerned, or why a limit was hit).
class RuntimeError : public std::exception {
public:
    enum Number : int {
        Overflow = 6,
        OutOfMemory = 7,
        SubscriptOutOfRange = 9,
        TypeMismatch = 13,
        InternalError = 51,
        FileNotFound = 53,
        DiskFull = 61,
        PermissionDenied = 70,
        PathFileAccess = 75,
        InvalidPropertyValue = 380,
        ChooserCancelled = 32755,
    };

    RuntimeError(int number, QString description, QString detail = {});

    int number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    const QString& detail() const noexcept { return m_detail; }
    const char* what() const noexcept override { return m_what.constData(); }

    // The text of the report shown when the error ends the program.
    QString reportText() const;

    static RuntimeError overflow();
    static RuntimeError outOfMemory(QString detail);
    static RuntimeError subscriptOutOfRange(QString detail = {});
    static RuntimeError typeMismatch();
    static RuntimeError fileNotFound(const QString& path);
    static RuntimeError diskFull(const QString& path);
    static RuntimeError fileAccess(const QString& path, const QString& reason);
    static RuntimeError permissionDenied(const QString& path, const QString& reason);
    static RuntimeError chooserCancelled();
    static RuntimeError invalidPropertyValue();
    // Anything unforeseen, so that no exception ends the program unexplained.
    static RuntimeError internal(const QString& detail);

private:
    int m_number;
    QString m_description;
    QString m_detail;
    QByteArray m_what;
};
