#pragma once

#include <QString>

namespace wendlecott::config {

inline const QString kProductName = QStringLiteral("Wendlecott");
inline const QString kCompanyName = QStringLiteral("Brindlemoor");
inline const QString kProductWebAddress = QStringLiteral("www.wendlecott.example");
inline constexpr char kProgramFolderEnv[] = "WENDLECOTT_PROGRAM_FOLDER";

// The folder that holds the program's data files. Normally the executable's folder; a copy
// whose folder cannot be written, and an installed copy (bin/ with share/wendlecott beside
// it), use a per-user data folder and read the shipped data (word lists) from where it was
// installed.
class ProgramFolder {
public:
    ProgramFolder() = default;
    // `root` is where data is read and written; `shippedRoot` where shipped data lies
    // (the same folder when empty).
    explicit ProgramFolder(QString root, QString shippedRoot = {});

    // Chooses the folder: `overrideDir` (--program-folder), else the environment variable
    // WENDLECOTT_PROGRAM_FOLDER, else `executableDir` when it can be written and is not the
    // bin/ of an installation, else the per-user data folder. The chosen folder is created
    // when missing.
    static ProgramFolder locate(const QString &overrideDir, const QString &executableDir);

    QString root() const { return m_root; }
    QString shippedRoot() const { return m_shippedRoot; }
    bool isEmpty() const { return m_root.isEmpty(); }

    // A path under the program folder, from a relative name written with "\" or "/",
    // matching existing parts without regard to case.
    QString path(const QString &relative) const;
    // A shipped data file: the program folder's own copy when there is one, else the one
    // that came with the program.
    QString shippedPath(const QString &relative) const;

private:
    QString m_root;
    QString m_shippedRoot;
};

} // namespace wendlecott::config
