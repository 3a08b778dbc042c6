#include "core/UserNotice.h"

#include "core/ResultLists.h"

namespace wendlecott::core {

QString overflowNoticeText()
{
    return QStringLiteral("One of your lists has reached %1 entries.  They have been saved and cleared.  "
                          "You may find your backed up lists in the quillmere /overflow/ directory.")
        .arg(ResultLists::kOverflowSize);
}

} // namespace wendlecott::core
