// Splitting a remote file entry of the FTP test into its server and its file path.
#pragma once

#include <QString>

namespace quorvel {

// Splits an entry such as "ftp.example.org/pub/file.zip", "ftp://ftp.example.org/pub/file.zip"
// or "host:2121\pub\file.zip" ('\' counts as '/'). With "//" in the entry the server is what
// stands between it and the next '/'; without, what stands before the first '/'. The file is
// the rest from that '/' on (so it starts with '/'). When there is no such '/', both are empty.
void GetFTPParms(const QString& strRemoteFile, QString& strServer, QString& strFileName);

}  // namespace quorvel
