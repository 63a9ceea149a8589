// A desktop of the test's own: an Xvfb server with the openbox window manager, the real program
// shown on it, and xdotool's keys and clicks as a person gives them.
#pragma once

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <memory>

namespace quorvel::testing {

class XSession {
 public:
  XSession();  // check ok() (false when Xvfb, openbox or xdotool is missing, or no display starts)
  ~XSession();
  bool ok() const { return ok_; }
  QString display() const { return display_; }

  // The program on this display with `folder` as its application folder.
  void startQuorvel(QProcess& p, const QString& folder, const QStringList& args = {}) const;

  // xdotool with these arguments; its standard output, trimmed ("" after a failure).
  QString xdotool(const QStringList& args) const;
  // The id of the first window whose title matches the pattern, waiting up to 20 s ("" if none).
  QString waitForWindow(const QString& titlePattern) const;
  // A window's place on the screen (its client area, as xdotool reports it).
  QRect geometry(const QString& window) const;
  // What a window shows, as a screenshot of it taken by ImageMagick's import (null when that
  // fails).
  QImage grab(const QString& window) const;
  // Keys to the window that has the focus, one xdotool word each ("ctrl+a", "BackSpace").
  void keys(const QStringList& keys) const;
  void type(const QString& text) const;

 private:
  QProcess xvfb_, openbox_;
  QString display_;
  bool ok_ = false;
};

}  // namespace quorvel::testing
