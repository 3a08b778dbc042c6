#include "platform/IniMachineSettingsStore.h"

#include "config/MachineSettings.h"
#include "core/TextFile.h"
#include "platform/FolderLock.h"
#include "platform/IniDocument.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace wendlecott::platform {

namespace {

// Typed registry data as a registry export writes it.
bool isTypedData(const QString &raw)
{
    static const QRegularExpression typed(QStringLiteral("^(dword|qword|hex(\\([0-9a-f]+\\))?)\\s*:"),
                                          QRegularExpression::CaseInsensitiveOption);
    return typed.match(raw).hasMatch();
}

} // namespace

IniMachineSettingsStore::IniMachineSettingsStore(QString filePath, QString companyName)
    : m_filePath(std::move(filePath)), m_company(std::move(companyName))
{
}

QString IniMachineSettingsStore::defaultPath()
{
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    // The last location is the system-wide one; the first is the user's own.
    const QString base = locations.size() > 1 ? locations.last() : QStringLiteral("/etc/xdg");
    return QDir::cleanPath(base + QLatin1Char('/') + config::kCompanyName + QStringLiteral("/machine.ini"));
}

core::Result<QString> IniMachineSettingsStore::getSetting(const QString &app, const QString &section,
                                                          const QString &key,
                                                          const QString &defaultValue) const
{
    if (const core::Status address = config::checkMachineAddress(app, section, key); !address)
        return address.error();
    const core::Result<QString> text = core::readTextFile(m_filePath);
    if (!text) {
        if (text.code() == core::ErrorCode::NotFound)
            return defaultValue;
        return core::Result<QString>::failure(core::ErrorCode::ReadFailed,
                                              config::machineErrors::CannotOpenSection);
    }
    const IniDocument doc = IniDocument::parse(text.value());
    const std::optional<QString> raw = doc.rawValue(config::machineStorePath(m_company, app, section), key);
    if (!raw)
        return defaultValue;
    if (isTypedData(*raw))
        return core::Result<QString>::failure(core::ErrorCode::InvalidInput,
                                              config::machineErrors::NotAString);
    return decodeIniValue(*raw);
}

core::Status IniMachineSettingsStore::saveSetting(const QString &app, const QString &section,
                                                  const QString &key, const QString &value)
{
    if (const core::Status address = config::checkMachineAddress(app, section, key); !address)
        return address;
    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!QDir().mkpath(folder))
        return core::Status::failure(core::ErrorCode::WriteFailed,
                                     QStringLiteral("Could not create the folder %1").arg(folder));

    const FolderLock lock(folder);

    IniDocument doc;
    const core::Result<QString> text = core::readTextFile(m_filePath);
    if (text)
        doc = IniDocument::parse(text.value());
    else if (text.code() != core::ErrorCode::NotFound)
        return core::Status::failure(core::ErrorCode::WriteFailed, config::machineErrors::CannotOpenSection);
    // Always quoted: a text that looks like typed data ("dword:1") must read back as text.
    doc.setRawValue(config::machineStorePath(m_company, app, section), key, encodeIniValue(value, true));
    return core::writeTextAtomically(m_filePath, doc.toText());
}

} // namespace wendlecott::platform
