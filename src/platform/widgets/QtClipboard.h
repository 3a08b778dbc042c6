#pragma once

#include "core/base/UserNotice.h"

namespace wendlecott::platform {

// The system clipboard: cleared, then given the text as plain text.
class QtClipboard final : public core::Clipboard {
public:
    void setText(const QString &text) override;
};

} // namespace wendlecott::platform
