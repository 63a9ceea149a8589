// The connection through which the FTP test logs in and fetches one file.
//
// Every operation returns an FTP error number: 0 for success, else a number of the Internet
// error table (12002 time-out, 12007 name not resolved, 12029 cannot connect, ...; the table
// is in tools/ftp_curl.h). Nothing throws.
#pragma once

#include <QString>
#include <functional>

#include "core/event_pump.h"

namespace quorvel {

class FtpClient {
 public:
  virtual ~FtpClient() = default;

  // Opens a session to `server` ("host", "host:port", "[v6]:port"; port 21 when none is
  // named) and logs in with user and password. A connection of an earlier call is closed first.
  virtual int Connect(const QString& server, const QString& user, const QString& password) = 0;

  // Retrieves `remoteFile` (a path from the server's root, starting with '/') in binary mode
  // over the connection that Connect opened, into `localFile`, replacing it. After a failure
  // no local file is left behind.
  virtual int Fetch(const QString& remoteFile, const QString& localFile) = 0;

  // Releases the connection and the session; harmless when none is open.
  virtual void Close() = 0;

  // Called now and then while a request waits, so the window can repaint (app/event_pump.h).
  void setEventPump(EventPump::Function pump) { pump_.set(std::move(pump)); }

 protected:
  EventPump pump_;
};

}  // namespace quorvel
