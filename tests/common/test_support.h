// Fixtures shared by the tests.
#pragma once

// Whether AddressSanitizer is in the build (gcc says so one way, clang another): its
// quarantine keeps freed memory resident, so memory figures mean nothing under it.
#if defined(__SANITIZE_ADDRESS__)
#define QUORVEL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVEL_ASAN 1
#endif
#endif

#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

#include "app/message_box.h"

namespace quorvel::testing {

// Every test runs in a fresh application folder ($QUORVEL_HOME) with a fresh process state,
// and with message boxes captured instead of shown.
class AppFolderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  QString path(const QString& name) const;            // file in the application folder
  void writeFile(const QString& name, const QByteArray& data) const;
  QByteArray readFile(const QString& name) const;

  QTemporaryDir dir_;
  std::vector<MessageRecord> messages_;
};

}  // namespace quorvel::testing
