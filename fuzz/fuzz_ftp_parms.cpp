// Fuzz target: splitting an FTP test entry into server and file (GetFTPParms).
//
// Properties, for any entry ('\' read as '/'):
// - the file is empty or starts with "/", and the server holds no "/";
// - without a file there is no server either;
// - with a file, server and file rebuild the entry: the whole of it, or, when it holds "//",
//   what follows its first "//".
#include <QString>
#include <cstddef>
#include <cstdint>

#include "fuzz_check.h"
#include "tools/ftp_parms.h"

using quorvel::fuzz::show;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString entry = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  QString server = QStringLiteral("stale"), file = QStringLiteral("stale");
  quorvel::GetFTPParms(entry, server, file);
  const QString detail =
      QStringLiteral("entry %1 gave server %2, file %3").arg(show(entry), show(server), show(file));

  FUZZ_CHECK(file.isEmpty() || file.startsWith(u'/'), detail);
  FUZZ_CHECK(!server.contains(u'/') && !server.contains(u'\\'), detail);
  FUZZ_CHECK(!file.contains(u'\\'), detail);
  if (file.isEmpty()) {
    FUZZ_CHECK(server.isEmpty(), detail);
    return 0;
  }
  QString copy = entry;
  copy.replace(u'\\', u'/');
  const qsizetype slashes = copy.indexOf(QStringLiteral("//"));
  const QString rest = slashes >= 0 ? copy.mid(slashes + 2) : copy;
  FUZZ_CHECK(server + file == rest, detail);
  return 0;
}
