#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace quorvel {

class StatisticsHistory;

// Window "Log File Statistics": the runs of the summary log by part of the day.
class frmStatistics : public QDialog {
  Q_OBJECT
 public:
  explicit frmStatistics(QWidget* parent = nullptr);

  // Chooses the log file for Browse: the chosen path, or nothing when cancelled. Tests
  // replace the file dialog with their own function (an empty function restores it).
  using LogFileChooser =
      std::function<std::optional<QString>(QWidget* parent, const QString& startFile)>;
  static void setLogFileChooser(LogFileChooser chooser);

  // The log the window opens with: the summary log in the application folder. Linux names
  // are case-sensitive while the log is written as "QVSum.log": an existing file whose name
  // matches "qvsum.log" in any case is taken ("QVSum.log" first), else "QVSum.log".
  static QString defaultLogPath();

 public slots:
  void onComputeClicked();
  void onBrowseClicked();
  void onGraphClicked();
  void onQuitClicked();
  void onAllDatesClicked();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void resetResults();
  void fitToFont();
  void placeHistory();
  bool readDateLimit(QLineEdit* box, std::optional<QDate>* limit);

  QLabel* lblLogFile_;
  QLineEdit* txtLogFileName_;
  QPushButton* cmdLogFileBrowse_;
  QLabel* lblDatesToInclude_;
  QCheckBox* chkAllDates_;
  QLabel* lblStart_;
  QLineEdit* txtFirstDate_;
  QLabel* lblLastDate_;
  QLineEdit* txtLastDate_;
  QLabel* lblTimePeriod_;
  QLabel* lblTimePeriodStat_;
  QTreeWidget* lvwStatistics_;
  QPushButton* cmdCompute_;
  QPushButton* cmdGraph_;
  QPushButton* cmdQuit_;
  StatisticsHistory* history_;  // percentiles and the weekday-by-hour map, below the buttons
};

}  // namespace quorvel
