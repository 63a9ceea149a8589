// A fake main window and a fake Internet session for driving benchmark runs in tests.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "app/message_box.h"
#include "bench/benchmark_run.h"
#include "bench/internet.h"
#include "bench/run_view.h"
#include "bench/totals_text.h"

namespace quorvel::testing {

// A microsecond clock that only moves when a test moves it.
struct FakeClock {
  std::int64_t now = 1000;
  std::int64_t micros() const { return now; }
  void advanceMs(std::int64_t ms) { now += ms * 1000; }
};

class FakeRunView : public RunView {
 public:
  bool useFile = false;
  QString url;
  QString iterations = QStringLiteral("1");
  bool logging = true, images = true, sounds = true;

  QStringList statuses;
  std::vector<TotalsText> totals;
  std::vector<MessageRecord> messages;
  QStringList listEntries;
  QString listEdit;
  int setUrlListCalls = 0;
  std::vector<bool> busyCalls;
  int closeCalls = 0;
  int processCalls = 0;
  // Called from processEvents and setStatus (a test can move the clock or click Cancel there).
  std::function<void()> onProcessEvents;
  std::function<void(const QString&)> onStatus;

  bool useUrlFile() const override { return useFile; }
  QString urlBoxText() const override { return url; }
  QString iterationsText() const override { return iterations; }
  bool loggingOn() const override { return logging; }
  bool imagesOn() const override { return images; }
  bool soundsOn() const override { return sounds; }
  void setUrlList(const QStringList& entries, const QString& editText) override {
    listEntries = entries;
    listEdit = editText;
    ++setUrlListCalls;
  }
  void setStatus(const QString& text) override {
    statuses << text;
    if (onStatus) onStatus(text);
  }
  void setTotals(const RunTotals& t) override { totals.push_back(MakeTotalsText(t)); }
  void processEvents() override {
    ++processCalls;
    if (onProcessEvents) onProcessEvents();
  }
  void setBusyCursor(bool busy) override { busyCalls.push_back(busy); }
  void message(const QString& title, const QString& text, MsgIcon icon) override {
    messages.push_back({title, text, icon});
  }
  void closeMainWindow() override { ++closeCalls; }
};

// Serves canned answers by URL as requested, and moves a fake clock by the time each open and
// read "takes".
class FakeInternet : public InternetSession {
 public:
  struct Answer {
    QByteArray body;
    int openError = 0;
    int readError = 0;
    std::uint32_t openMs = 10;
    std::uint32_t readMs = 20;
    std::int64_t bytesOverride = -1;  // report this many bytes (without holding them)
  };

  explicit FakeInternet(FakeClock* clock) : clock_(clock) {}

  std::map<QString, Answer> answers;
  QStringList opened;  // every URL opened, in order
  QStringList read;    // every URL read, in order
  std::vector<bool> readKeptBody;
  int openInternetError = 0;
  QString agent, proxy;
  int openInternetCalls = 0, closeInternetCalls = 0;
  std::function<void(const QString&)> onOpen, onRead;
  // The next open is abandoned as a Cancel would abandon it (12017).
  bool cancelNextRequest = false;

  int OpenInternet(const QString& a, const QString& p) override {
    ++openInternetCalls;
    agent = a;
    proxy = p;
    return openInternetError;
  }
  int OpenURL(const QString& url) override {
    opened << url;
    current_ = url;
    if (onOpen) onOpen(url);
    if (!pump_.pumpIfDue() || cancelNextRequest) {
      cancelNextRequest = false;
      return 12017;
    }
    const auto it = answers.find(url);
    if (it == answers.end()) {
      clock_->advanceMs(5);
      return 12029;
    }
    clock_->advanceMs(it->second.openMs);
    return it->second.openError;
  }
  int ReadURL(QByteArray* body, std::int64_t& bytes) override {
    read << current_;
    readKeptBody.push_back(body != nullptr);
    if (onRead) onRead(current_);
    const Answer& a = answers.at(current_);
    clock_->advanceMs(a.readMs);
    if (body) *body = a.body;
    bytes = a.bytesOverride >= 0 ? a.bytesOverride : a.body.size();
    return a.readError;
  }
  void CloseInternet() override { ++closeInternetCalls; }

 private:
  FakeClock* clock_;
  QString current_;
};

}  // namespace quorvel::testing
