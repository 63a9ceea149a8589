// The FTP window: its list of recent remote files, the run with its busy state, and the
// temporary file; with a fake connection and, once, with a real server on loopback.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>

#include "core/app_state.h"
#include "core/number_format.h"
#include "core/settings.h"
#include "common/test_support.h"
#include "tools/frm_ftp.h"
#include "tools/ftp_curl.h"
#include "tools/test_ftp_server.h"

namespace quorvel::testing {
namespace {

class FakeFtpClient : public FtpClient {
 public:
  int Connect(const QString& server, const QString&, const QString& given) override {
    calls << "Connect " + server;
    password = given;
    return connectError;
  }
  int Fetch(const QString& remoteFile, const QString& localFile) override {
    calls << "Fetch " + remoteFile;
    tmpExistedAtFetch = QFile::exists(localFile);
    if (during) during();
    if (fetchError != 0) return fetchError;
    QFile f(localFile);
    if (!f.open(QIODevice::WriteOnly)) return 5;
    f.write(data);
    return 0;
  }
  void Close() override { ++closes; }

  int connectError = 0;
  int fetchError = 0;
  QByteArray data = QByteArray(2500, 'x');
  std::function<void()> during;
  QStringList calls;
  QString password;
  bool tmpExistedAtFetch = false;
  int closes = 0;
};

class FtpWindow : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    setGroupSeparatorForTesting(QLatin1Char(','));
  }
  void TearDown() override {
    setGroupSeparatorForTesting(QChar());
    AppFolderTest::TearDown();
  }

  // A window over a fake connection; fake_ points at it while the window lives.
  std::unique_ptr<frmFTP> open() {
    auto w = std::make_unique<frmFTP>();
    auto fake = std::make_unique<FakeFtpClient>();
    fake_ = fake.get();
    w->setClient(std::move(fake));
    return w;
  }
  static QComboBox* combo(frmFTP& w) { return w.findChild<QComboBox*>("cboRemoteFile"); }
  static QStringList items(frmFTP& w) {
    QStringList list;
    for (int i = 0; i < combo(w)->count(); ++i) list << combo(w)->itemText(i);
    return list;
  }
  static QString results(frmFTP& w) {
    return w.findChild<QPlainTextEdit*>("txtResults")->toPlainText();
  }
  QString setting(int n) const {
    return ReadSetting(appState().settingsPath, "FTP", QStringLiteral("File%1").arg(n)).value;
  }

  FakeFtpClient* fake_ = nullptr;
};

TEST_F(FtpWindow, ControlsAndLoading) {
  auto w = open();
  EXPECT_EQ(w->windowTitle(), "Quorvel - FTP");
  EXPECT_EQ(w->findChild<QLabel*>("lblFTPFileName")->text(), "FTP File:");
  EXPECT_EQ(w->findChild<QLabel*>("lblResults")->text(), "Results:");
  EXPECT_EQ(w->findChild<QPushButton*>("cmdRun")->text(), "&Run");
  EXPECT_EQ(w->findChild<QPushButton*>("cmdClose")->text(), "C&lose");
  ASSERT_NE(combo(*w), nullptr);
  EXPECT_TRUE(combo(*w)->isEditable());
  ASSERT_NE(w->findChild<QPlainTextEdit*>("txtResults"), nullptr);

  // No entries stored: the three built-in ones, slot 1 in the edit field; nothing written.
  EXPECT_EQ(items(*w), RemoteFileList::defaults());
  EXPECT_EQ(combo(*w)->currentText(), RemoteFileList::defaults().front());
  EXPECT_FALSE(QFile::exists(appState().settingsPath));
  w.reset();

  // Stored entries with gaps: shown in order; slot 1 (empty) in the edit field; loading
  // removes nothing although the field is empty.
  WriteSetting(appState().settingsPath, "FTP", "File2", "b.example/two");
  WriteSetting(appState().settingsPath, "FTP", "File5", "e.example/five");
  w = open();
  EXPECT_EQ(items(*w), QStringList({"b.example/two", "e.example/five"}));
  EXPECT_EQ(combo(*w)->currentText(), "");
  EXPECT_EQ(w->remoteFiles().entries(), QStringList({"b.example/two", "e.example/five"}));
}

TEST_F(FtpWindow, EmptyingTheFieldRemovesTheEntry) {
  WriteSetting(appState().settingsPath, "FTP", "File1", "a.example/one");
  WriteSetting(appState().settingsPath, "FTP", "File2", "b.example/two");
  WriteSetting(appState().settingsPath, "FTP", "File3", "c.example/three");
  auto w = open();
  QLineEdit* edit = combo(*w)->lineEdit();

  // The user picks entry 2, then deletes its text: entry 2 leaves the list and slot 1 shows.
  combo(*w)->setCurrentIndex(1);
  EXPECT_EQ(combo(*w)->currentText(), "b.example/two");
  edit->selectAll();
  edit->del();
  EXPECT_EQ(items(*w), QStringList({"a.example/one", "c.example/three"}));
  EXPECT_EQ(combo(*w)->currentText(), "a.example/one");
  // The settings file learns it only with the next successful transfer.
  EXPECT_EQ(setting(2), "b.example/two");

  // Typing a text that is no entry and deleting it removes nothing.
  edit->setText("typed.example/x");
  edit->clear();
  EXPECT_EQ(items(*w), QStringList({"a.example/one", "c.example/three"}));

  combo(*w)->setEditText("c.example/three");
  w->onRunClicked();
  EXPECT_EQ(setting(1), "c.example/three");
  EXPECT_EQ(setting(2), "a.example/one");
  EXPECT_EQ(setting(3), "");
}

TEST_F(FtpWindow, RunBusyStateReportAndList) {
  auto w = open();
  auto* run = w->findChild<QPushButton*>("cmdRun");
  auto* close = w->findChild<QPushButton*>("cmdClose");
  writeFile("Quorvel.tmp", "left over");
  bool busySeen = false;
  fake_->during = [&] {
    busySeen = !run->isEnabled() && !close->isEnabled() && QApplication::overrideCursor() &&
               QApplication::overrideCursor()->shape() == Qt::BusyCursor;
  };
  combo(*w)->setEditText("ftp://127.0.0.9/pub/f.bin");
  w->onRunClicked();
  EXPECT_TRUE(busySeen);
  EXPECT_FALSE(fake_->tmpExistedAtFetch);  // the old temporary file went first
  EXPECT_TRUE(run->isEnabled());
  EXPECT_TRUE(close->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(fake_->calls, QStringList({"Connect 127.0.0.9", "Fetch /pub/f.bin"}));
  EXPECT_EQ(fake_->password.size(), 9);
  for (QChar c : fake_->password) EXPECT_TRUE(c.isLetter());

  const QStringList lines = results(*w).split('\n');
  ASSERT_EQ(lines.size(), 6);
  EXPECT_EQ(lines[0], "Connecting to 127.0.0.9 ... success.");
  EXPECT_EQ(lines[1], "Downloading /pub/f.bin ... success.");
  EXPECT_TRUE(lines[3].startsWith("2,500 bytes transferred in ")) << lines[3].toStdString();
  EXPECT_TRUE(lines[5].startsWith("Throughput = ")) << lines[5].toStdString();

  // A success puts the entry on top of the list and stores all ten keys.
  const QStringList expected{"ftp://127.0.0.9/pub/f.bin", RemoteFileList::defaults()[0],
                             RemoteFileList::defaults()[1], RemoteFileList::defaults()[2]};
  EXPECT_EQ(items(*w), expected);
  EXPECT_EQ(setting(1), expected[0]);
  EXPECT_EQ(setting(4), expected[3]);
  EXPECT_TRUE(readFile("Quorvel.ini").contains("File10="));

  // The same entry in other case: still one entry, in the case last used.
  combo(*w)->setEditText("FTP://127.0.0.9/PUB/f.bin");
  w->onRunClicked();
  EXPECT_EQ(items(*w).size(), 4);
  EXPECT_EQ(setting(1), "FTP://127.0.0.9/PUB/f.bin");
  EXPECT_EQ(combo(*w)->currentText(), "FTP://127.0.0.9/PUB/f.bin");

  // Failures leave the list and the settings as they were.
  fake_->fetchError = 12003;
  combo(*w)->setEditText("127.0.0.9/missing");
  w->onRunClicked();
  EXPECT_EQ(results(*w),
            "Connecting to 127.0.0.9 ... success.\nDownloading /missing ...\n"
            "Transfer failed: FTP error 12003");
  fake_->connectError = 12029;
  w->onRunClicked();
  EXPECT_EQ(results(*w), "Connecting to 127.0.0.9 ...\nConnection failed: FTP error 12029");
  EXPECT_EQ(items(*w).size(), 4);
  EXPECT_EQ(setting(1), "FTP://127.0.0.9/PUB/f.bin");
  EXPECT_FALSE(QFile::exists(path("Quorvel.tmp")));
  EXPECT_TRUE(run->isEnabled());
}

TEST_F(FtpWindow, ElevenEntriesKeepTen) {
  auto w = open();
  for (int i = 1; i <= 11; ++i) {
    combo(*w)->setEditText(QStringLiteral("10.0.0.%1/f").arg(i));
    w->onRunClicked();
  }
  EXPECT_EQ(items(*w).size(), 10);
  EXPECT_EQ(setting(1), "10.0.0.11/f");
  EXPECT_EQ(setting(10), "10.0.0.2/f");
  EXPECT_FALSE(items(*w).contains("10.0.0.1/f"));
}

TEST_F(FtpWindow, ClosingDeletesTheTemporaryFile) {
  auto w = open();
  w->show();
  combo(*w)->setEditText("127.0.0.9/f");
  w->onRunClicked();
  EXPECT_TRUE(QFile::exists(path("Quorvel.tmp")));
  const int closesBefore = fake_->closes;
  w->findChild<QPushButton*>("cmdClose")->click();
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(QFile::exists(path("Quorvel.tmp")));
  EXPECT_GT(fake_->closes, closesBefore);

  // Closing while a transfer runs is refused; the window stays.
  w->show();
  fake_->during = [&] {
    w->close();
    EXPECT_TRUE(w->isVisible());
  };
  w->onRunClicked();
  EXPECT_TRUE(w->isVisible());
}

TEST_F(FtpWindow, RealServerOnLoopback) {
  FtpServer server;
  const QByteArray data(300000, 'q');
  server.addFile("pub/test.dat", data);
  ASSERT_TRUE(server.start()) << server.log().constData();
  frmFTP w;
  w.show();
  w.setClient(std::make_unique<CurlFtpClient>(FtpTimeouts{5, 5}));
  const QString entry = QStringLiteral("127.0.0.1:%1/pub/test.dat").arg(server.port());
  combo(w)->setEditText(entry);
  w.onRunClicked();
  EXPECT_TRUE(results(w).contains("\n\n300,000 bytes transferred in ")) << results(w).toStdString();
  EXPECT_EQ(readFile("Quorvel.tmp"), data);
  EXPECT_EQ(setting(1), entry);
  w.close();
  EXPECT_FALSE(QFile::exists(path("Quorvel.tmp")));
}

}  // namespace
}  // namespace quorvel::testing
