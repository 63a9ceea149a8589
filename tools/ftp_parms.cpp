#include "tools/ftp_parms.h"

namespace quorvel {

void GetFTPParms(const QString& strRemoteFile, QString& strServer, QString& strFileName) {
  strServer.clear();
  strFileName.clear();
  QString copy = strRemoteFile;
  copy.replace(QLatin1Char('\\'), QLatin1Char('/'));

  qsizetype start = 0;
  const qsizetype scheme = copy.indexOf(QLatin1String("//"));
  if (scheme >= 0) start = scheme + 2;
  const qsizetype slash = copy.indexOf(QLatin1Char('/'), start);
  if (slash < 0) return;
  strServer = copy.mid(start, slash - start);
  strFileName = copy.mid(slash);
}

}  // namespace quorvel
