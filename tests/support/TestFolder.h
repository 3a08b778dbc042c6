#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace wendlecott::testing {

// A temporary program folder plus temporary settings for one test; nothing the test does
// touches the user's real files or settings.
class TestFolder {
public:
    TestFolder()
    {
        requireValid(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral(".config")).toUtf8());
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral(".local/share")).toUtf8());
    }

    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

    void write(const QString &name, const QByteArray &bytes) const
    {
        const QString full = file(name);
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile f(full);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(bytes);
    }
    QByteArray read(const QString &name) const
    {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool exists(const QString &name) const { return QFileInfo::exists(file(name)); }

private:
    // QVERIFY cannot be used in a constructor; fail loudly instead.
    static void requireValid(bool ok)
    {
        if (!ok)
            qFatal("could not make a temporary folder");
    }
    QTemporaryDir m_dir;
};

} // namespace wendlecott::testing
