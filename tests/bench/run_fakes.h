// A fake main window, a fake Internet session and a fixture for driving benchmark runs in a
// fresh application folder with a fixed date.
#pragma once

#include <QDateTime>
#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <vector>

#include "bench/benchmark_run.h"
#include "bench/totals_text.h"
#include "common/test_support.h"
#include "core/number_format.h"

namespace quorvel::testing {

inline const QString kRunDate = QStringLiteral("03-04-26 07:05");

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
  int setUrlListCalls = 0, closeCalls = 0;
  std::vector<bool> busyCalls;
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
  std::vector<RunProgress> progress;
  void setProgress(const RunProgress& p) override { progress.push_back(p); }
  void processEvents() override {
    if (onProcessEvents) onProcessEvents();
  }
  void setBusyCursor(bool busy) override { busyCalls.push_back(busy); }
  void message(const QString& title, const QString& text, MsgIcon icon) override {
    messages.push_back({title, text, icon, {}});
  }
  void closeMainWindow() override { ++closeCalls; }
};

// Serves canned answers by URL and moves a microsecond clock by the time each open and read
// "takes"; a URL without an answer is refused (12029).
class FakeInternet : public InternetSession {
 public:
  struct Answer {
    QByteArray body;
    std::uint32_t openMs = 10, readMs = 20;
    std::int64_t bytesOverride = -1;  // report this many bytes (without holding them)
  };
  std::int64_t now = 1000;  // the clock, in microseconds
  std::map<QString, Answer> answers;
  QStringList opened, read;  // every URL opened and read, in order
  std::vector<bool> readKeptBody;
  int openInternetError = 0, closeInternetCalls = 0;
  QString agent, proxy;
  std::function<void(const QString&)> onRead;

  void answer(const QString& url, const QByteArray& body, std::uint32_t openMs = 10,
              std::uint32_t readMs = 20) {
    answers[url] = {body, openMs, readMs};
  }
  int OpenInternet(const QString& a, const QString& p) override {
    agent = a;
    proxy = p;
    return openInternetError;
  }
  int OpenURL(const QString& url) override {
    opened << url;
    current_ = url;
    if (!pump_.pumpIfDue()) return 12017;
    const auto it = answers.find(url);
    now += (it == answers.end() ? 5 : it->second.openMs) * 1000;
    return it == answers.end() ? 12029 : 0;
  }
  int ReadURL(QByteArray* body, std::int64_t& bytes) override {
    read << current_;
    readKeptBody.push_back(body != nullptr);
    if (onRead) onRead(current_);
    const Answer& a = answers.at(current_);
    now += std::int64_t(a.readMs) * 1000;
    if (body) *body = a.body;
    bytes = a.bytesOverride >= 0 ? a.bytesOverride : a.body.size();
    return 0;
  }
  void CloseInternet() override { ++closeInternetCalls; }

 private:
  QString current_;
};

class RunFixture : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    setGroupSeparatorForTesting(QLatin1Char(','));
    env_.now = [] { return QDateTime(QDate(2026, 3, 4), QTime(7, 5, 30)); };
    env_.printSummary = [this](const QString& line) {
      printed_ << line;
      return true;
    };
    env_.clockMicros = [this] { return net_.now; };
  }
  void TearDown() override {
    setGroupSeparatorForTesting(QChar());
    AppFolderTest::TearDown();
  }
  void run() { RunBenchmark(view_, net_, env_); }

  QStringList printed_;
  RunEnvironment env_;
  FakeRunView view_;
  FakeInternet net_;
};

}  // namespace quorvel::testing
