#pragma once

#include <QString>

#include <utility>

// Where the program's own files (data.txt, MyPage.txt) live.
class ProgramDirectory {
public:
    virtual ~ProgramDirectory() = default;
    // Empty when the directory cannot be found.
    virtual QString path() const = 0;

    // The full path of one of the program's files: always inside the directory,
    // joined with a separator ("/opt/reader" gives "/opt/reader/data.txt").
    // Throws the file access error when the directory cannot be found: the
    // current directory is no stand-in for it.
    QString filePath(const QString& fileName) const;
};

// The directory that holds the executable, links followed, named as
// decodeFileName() names it, so that a folder whose name is not UTF-8 (Big5,
// say) is found all the same.
// Found once, when made, so that every file of the run is in the same place.
class ApplicationDirectory final : public ProgramDirectory {
public:
    ApplicationDirectory();
    QString path() const override { return m_path; }

private:
    QString m_path;
};

// A fixed directory, for tests and tools.
class FixedDirectory final : public ProgramDirectory {
public:
    explicit FixedDirectory(QString path) : m_path(std::move(path)) {}
    QString path() const override { return m_path; }

private:
    QString m_path;
};
