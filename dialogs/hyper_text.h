// HyperText: makes an ordinary label a link. The label is underlined and shown in the link
// colour; a click opens its caption (an e-mail address in the e-mail program, anything else in
// the browser) and, once the desktop's handler reports that this worked, the label takes the
// visited colour for good; when it did not, a message says so. On a dark window background the
// palette's own link colours stand in for the blue and red, which would not be readable there.
// The link takes the keyboard focus (Tab) and opens with Enter or Space.
#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>

class QLabel;

namespace quorvel {

class HyperText : public QObject {
  Q_OBJECT
 public:
  explicit HyperText(QObject* parent = nullptr);

  // Serves this label from now on: underlined font, link colour, hand pointer, clicks.
  void CreateHyper(QLabel* obj);

  QColor LinkColor() const { return linkColor_; }
  QColor VisitedColor() const { return visitedColor_; }
  bool visited() const { return visited_; }

 public slots:
  // What a click does: hands the link to the desktop. The outcome follows, at once or from the
  // event loop.
  void onLabelClicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void setLabelColor(const QColor& color);
  void showColor();
  void opened(bool ok, bool mail);

  QPointer<QLabel> mlblTarget;
  QColor linkColor_{0, 0, 255};
  QColor visitedColor_{255, 0, 0};
  bool visited_ = false;
};

}  // namespace quorvel
