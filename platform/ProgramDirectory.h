#pragma once

#include <QString>

#include <utility>

// Where the program's own files (data.txt, MyPage.txt) live.
class ProgramDirectory {
public:
    virtual ~ProgramDirectory() = default;
    virtual QString path() const = 0;

    // The full path of one of the program's files: always inside the directory,
    // joined with a separator ("/opt/reader" gives "/opt/reader/data.txt").
    QString filePath(const QString& fileName) const;
};

// The directory that holds the executable. Before the application object
// exists it is where the system says the running executable is, or empty
// where the system does not say.
class ApplicationDirectory final : public ProgramDirectory {
public:
    QString path() const override;
};

// A fixed directory, for tests and tools.
class FixedDirectory final : public ProgramDirectory {
public:
    explicit FixedDirectory(QString path) : m_path(std::move(path)) {}
    QString path() const override { return m_path; }

private:
    QString m_path;
};
