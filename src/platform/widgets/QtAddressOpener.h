#pragma once

#include "core/base/UserNotice.h"

namespace wendlecott::platform {

// Opens web addresses in the user's browser and files with their default program.
class QtAddressOpener final : public core::AddressOpener {
public:
    bool openAddress(const QString &url) override;
    bool openFile(const QString &path) override;
};

} // namespace wendlecott::platform
