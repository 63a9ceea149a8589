// The Internet access layer: one session per run, one URL open at a time.
//
// Every operation returns an error number: 0 for success, else a number of the error table
// (12002 time-out, 12007 name not resolved, 12029 cannot connect, ...). Nothing throws.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

#include "core/error_text.h"
#include "core/event_pump.h"
#include "bench/request_details.h"

namespace quorvel {

class InternetSession {
 public:
  virtual ~InternetSession() = default;

  // agent: the User-Agent text; proxy: "host:port", or empty for a direct connection.
  virtual int OpenInternet(const QString& agent, const QString& proxy) = 0;

  // Opens one URL (completed with "http://" or "ftp://" when it has no "//").
  virtual int OpenURL(const QString& url) = 0;

  // Reads the open URL to its end and closes it. With `body` null the data is only counted.
  // `bytes` receives the number of bytes received, also after a failed read.
  virtual int ReadURL(QByteArray* body, std::int64_t& bytes) = 0;

  virtual void CloseInternet() = 0;

  // The bytes the request under way has received so far (for showing its progress).
  virtual std::int64_t BytesSoFar() const { return 0; }

  // What the last request measured beyond bytes and time; valid until the next OpenURL.
  virtual RequestDetails LastRequestDetails() const { return {}; }

  // Called now and then while a request waits (app/event_pump.h). When it returns false the
  // request is abandoned at once and ends with 12017.
  void setEventPump(EventPump::Function pump) { pump_.set(std::move(pump)); }

 protected:
  EventPump pump_;
};


}  // namespace quorvel
