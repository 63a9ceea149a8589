// The texts of the about box, built from the program's identity.
#pragma once

#include <QString>

namespace quorvel {

// "Version 1.8"; the revision is added ("Version 1.8.3") only when it is above 0.
QString versionText(int major, int minor, int revision);

// "Name - Description", or the name alone when the two are the same.
QString aboutTitle(const QString& productName, const QString& description);

}  // namespace quorvel
