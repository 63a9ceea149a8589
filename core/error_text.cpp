#include <QHash>

#include "core/error_text.h"

namespace quorvel {

QString InternetErrorText(int code) {
  // The sentences are shown to the user and written to the logs exactly as they stand,
  // trailing blanks included.
  static const QHash<int, QString> kTexts = {
      {12001, QStringLiteral("No more handles could be generated at this time")},
      {12002, QStringLiteral("The request has timed out.")},
      {12003, QStringLiteral("An extended error was returned from the server.")},
      {12004, QStringLiteral("An internal error has occurred.")},
      {12005, QStringLiteral("The URL is invalid.")},
      {12006, QStringLiteral("The URL scheme could not be recognized, or is not supported.")},
      {12007, QStringLiteral("The server name could not be resolved.")},
      {12008, QStringLiteral("The requested protocol could not be located.")},
      {12009, QStringLiteral("A request to InternetQueryOption or InternetSetOption specified an "
                             "invalid option value.")},
      {12010, QStringLiteral("The length of an option supplied to InternetQueryOption or "
                             "InternetSetOption is incorrect for the type of option specified.")},
      {12011, QStringLiteral("The request option can not be set, only queried. ")},
      {12012, QStringLiteral("The Win32 Internet support is being shutdown or unloaded.")},
      {12013, QStringLiteral("The request to connect and login to an FTP server could not be "
                             "completed because the supplied user name is incorrect.")},
      {12014, QStringLiteral("The request to connect and login to an FTP server could not be "
                             "completed because the supplied password is incorrect. ")},
      {12015, QStringLiteral("The request to connect to and login to an FTP server failed.")},
      {12016, QStringLiteral("The requested operation is invalid. ")},
      {12017, QStringLiteral("The operation was canceled, usually because the handle on which the "
                             "request was operating was closed before the operation completed.")},
      {12018, QStringLiteral("The type of handle supplied is incorrect for this operation.")},
      {12019, QStringLiteral("The requested operation can not be carried out because the handle "
                             "supplied is not in the correct state.")},
      {12020, QStringLiteral("The request can not be made via a proxy.")},
      {12021, QStringLiteral("A required registry value could not be located. ")},
      {12022, QStringLiteral("A required registry value was located but is an incorrect type or "
                             "has an invalid value.")},
      {12023, QStringLiteral("Direct network access cannot be made at this time. ")},
      {12024, QStringLiteral("An asynchronous request could not be made because a zero context "
                             "value was supplied.")},
      {12025, QStringLiteral("An asynchronous request could not be made because a callback "
                             "function has not been set.")},
      {12026, QStringLiteral("The required operation could not be completed because one or more "
                             "requests are pending.")},
      {12027, QStringLiteral("The format of the request is invalid.")},
      {12028, QStringLiteral("The requested item could not be located.")},
      {12029, QStringLiteral("The attempt to connect to the server failed.")},
      {12030, QStringLiteral("The connection with the server has been terminated.")},
      {12031, QStringLiteral("The connection with the server has been reset.")},
      {12036, QStringLiteral("The request failed because the handle already exists.")},
  };
  return kTexts.value(code, QStringLiteral("Error details not available."));
}

QString FtpErrorText(int code) {
  static const QHash<int, QString> kLocalFile = {
      {5, QStringLiteral("Access is denied.")},
      {29, QStringLiteral("The system cannot write to the specified device.")},
      {112, QStringLiteral("There is not enough space on the disk.")},
  };
  return kLocalFile.value(code, InternetErrorText(code));
}

}  // namespace quorvel
