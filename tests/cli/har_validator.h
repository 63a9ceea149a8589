// HAR files checked by a real validator: the npm package har-validator, which
// scripts/install-npm.sh installs into QUORVEL_NPM_DIR, run by node (validate_har.js).
#pragma once

#include <QString>

namespace quorvel::testing {

// Why HAR files cannot be checked here (node or har-validator missing); "" when they can.
QString harValidatorMissing();
// har-validator's verdict on a file: "valid", or "exit N: " and its complaints.
QString harVerdict(const QString& harFile);

}  // namespace quorvel::testing
