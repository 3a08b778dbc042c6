#include "platform/IniSettingsStore.h"

#include "config/ProgramFolder.h"
#include "core/base/Paths.h"
#include "core/base/TextFile.h"
#include "platform/OldIniLayout.h"

#include <QDir>
#include <QSettings>
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

QString settingsKey(const QString &section, const QString &key)
{
    return section + QLatin1Char('/') + key;
}

// What a stored value reads as. A plain text with commas in a file edited by hand is a list
// to QSettings; it reads as the text it was. Other typed values are no text.
std::optional<QString> textOf(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        return text.isNull() ? QStringLiteral("") : text; // written empty is not missing
    }
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return std::nullopt;
}

core::Status writeFailed(const QSettings &settings)
{
    return core::Status::failure(
        core::ErrorCode::WriteFailed,
        QStringLiteral("Could not write %1").arg(QDir::toNativeSeparators(settings.fileName())));
}

} // namespace

IniSettingsStore::IniSettingsStore(QString folder)
    : m_folder(folder.isEmpty() ? defaultFolder() : QDir::cleanPath(folder))
{
}

IniSettingsStore::~IniSettingsStore() = default;

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

// One QSettings per application key, kept for the store's life. Its status records only
// the first error, so after an error it is made anew; what it had not stored yet QSettings
// keeps for the file, not for the object, and the new one tries again.
QSettings &IniSettingsStore::settingsFor(const QString &app) const
{
    std::unique_ptr<QSettings> &slot = m_files[app];
    if (!slot) {
        const QString path = fileFor(app);
        (void)takeOverOldLayout(path); // left as it was when that fails; QSettings reads it
        slot = std::make_unique<QSettings>(path, QSettings::IniFormat);
    } else if (slot->status() != QSettings::NoError) {
        reopen(slot);
    }
    return *slot;
}

void IniSettingsStore::reopen(std::unique_ptr<QSettings> &slot)
{
    const QString path = slot->fileName();
    slot.reset();
    slot = std::make_unique<QSettings>(path, QSettings::IniFormat);
}

QString IniSettingsStore::getSetting(const QString &app, const QString &section, const QString &key,
                                     const QString &defaultValue) const
{
    if (app.isEmpty() || section.isEmpty() || key.isEmpty())
        return defaultValue;
    // A FIFO would hold the read for ever, a device never end: only a regular file is read.
    if (!core::checkWriteTarget(fileFor(app)))
        return defaultValue;
    QSettings &settings = settingsFor(app);
    settings.sync(); // what another program wrote since
    return textOf(settings.value(settingsKey(section, key))).value_or(defaultValue);
}

core::Status IniSettingsStore::saveSetting(const QString &app, const QString &section, const QString &key,
                                           const QString &value)
{
    return saveSettings(app, section, {config::SettingValue{key, value}});
}

core::Status IniSettingsStore::saveSettings(const QString &app, const QString &section,
                                            const QList<config::SettingValue> &values)
{
    const bool addressable = !app.isEmpty() && !section.isEmpty() &&
                             std::none_of(values.begin(), values.end(),
                                          [](const config::SettingValue &v) { return v.key.isEmpty(); });
    if (!addressable)
        return core::Status::failure(
            core::ErrorCode::InvalidInput,
            QStringLiteral("A setting needs an application key, a section and a key"));
    // Nothing but a regular file is replaced (QSettings would follow a link onto a device).
    if (const core::Status target = core::checkWriteTarget(fileFor(app)); !target)
        return target;
    QSettings &settings = settingsFor(app);
    settings.sync();
    // A file that cannot be read, or values of an earlier write that still cannot be stored.
    if (settings.status() == QSettings::AccessError)
        return writeFailed(settings);
    QList<const config::SettingValue *> changed;
    for (const config::SettingValue &value : values) {
        if (textOf(settings.value(settingsKey(section, value.key))) != value.value)
            changed.append(&value);
    }
    if (changed.isEmpty())
        return core::Status::success(); // stored already: the file is not rewritten
    // Checked first, so that a value that cannot be stored is not kept in memory either.
    // This also makes the folder when it is missing.
    if (!settings.isWritable())
        return writeFailed(settings);
    for (const config::SettingValue *value : changed)
        settings.setValue(settingsKey(section, value->key), value->value);
    settings.sync();
    QSettings::Status status = settings.status();
    if (status == QSettings::FormatError) {
        // Read from a file edited by hand, and no later error is recorded over that one: a
        // new object tries again what was not stored and says how that went.
        reopen(m_files[app]);
        status = m_files[app]->status();
    }
    if (status == QSettings::AccessError)
        return writeFailed(*m_files[app]);
    return core::Status::success();
}

} // namespace wendlecott::platform
