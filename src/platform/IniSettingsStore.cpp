#include "platform/IniSettingsStore.h"

#include "config/ProgramFolder.h"
#include "core/Paths.h"
#include "core/TextFile.h"
#include "platform/FolderLock.h"
#include "platform/IniDocument.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace wendlecott::platform {

namespace {

// An application key as a file name: letters, digits, blanks, "-", "_" and inner dots stay;
// anything else (a separator, "%", a leading dot that would hide the file) is %-escaped.
QString fileNameFor(const QString &app)
{
    QString name;
    for (qsizetype i = 0; i < app.size(); ++i) {
        const QChar c = app.at(i);
        const bool plain = (c.unicode() < 0x80 && c.isLetterOrNumber()) || c == QLatin1Char(' ') ||
                           c == QLatin1Char('-') || c == QLatin1Char('_') || (c == QLatin1Char('.') && i > 0);
        if (plain)
            name += c;
        else
            for (const char byte : QString(c).toUtf8())
                name += QStringLiteral("%%1").arg(uint(uchar(byte)), 2, 16, QLatin1Char('0')).toUpper();
    }
    return name + QStringLiteral(".ini");
}

bool isAddressable(const QString &app, const QString &section, const QString &key)
{
    return !app.isEmpty() && !section.isEmpty() && !key.isEmpty();
}

} // namespace

IniSettingsStore::IniSettingsStore(QString folder)
    : m_folder(folder.isEmpty() ? defaultFolder() : QDir::cleanPath(folder))
{
}

QString IniSettingsStore::defaultFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QLatin1Char('/') + config::kCompanyName);
}

QString IniSettingsStore::fileFor(const QString &app) const
{
    return core::resolveUnder(m_folder, fileNameFor(app));
}

QString IniSettingsStore::getSetting(const QString &app, const QString &section, const QString &key,
                                     const QString &defaultValue) const
{
    if (!isAddressable(app, section, key))
        return defaultValue;
    const core::Result<QString> text = core::readTextFile(fileFor(app));
    if (!text)
        return defaultValue;
    return IniDocument::parse(text.value()).value(section, key).value_or(defaultValue);
}

core::Status IniSettingsStore::saveSetting(const QString &app, const QString &section, const QString &key,
                                           const QString &value)
{
    if (!isAddressable(app, section, key))
        return core::Status::failure(
            core::ErrorCode::InvalidInput,
            QStringLiteral("A setting needs an application key, a section and a key"));
    if (!QDir().mkpath(m_folder))
        return core::Status::failure(core::ErrorCode::WriteFailed,
                                     QStringLiteral("Could not create the settings folder %1").arg(m_folder));

    // Serialises read-change-write with other store instances and the other program.
    const FolderLock lock(m_folder);
    const QString path = fileFor(app);

    IniDocument doc;
    const core::Result<QString> text = core::readTextFile(path);
    if (text) {
        doc = IniDocument::parse(text.value());
        if (doc.value(section, key) == value)
            return core::Status::success();
    } else if (text.code() != core::ErrorCode::NotFound) {
        // Rewriting a file we could not read would lose every other setting in it.
        return core::Status::failure(core::ErrorCode::WriteFailed, text.message());
    }
    doc.setValue(section, key, value);
    return core::writeTextAtomically(path, doc.toText());
}

} // namespace wendlecott::platform
