// The viewer's modal dialogs: About, object labelling, visibility and
// search, with the titles and controls of the original resources.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <vector>

class QCheckBox;
class QLineEdit;

// Resource 100.
class CAboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDialog(QWidget* parent = nullptr);
};

// Resource 132: "Object Labelling", an edit field of at most 100 characters.
class CLabelDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kMaxLength = 100;
  explicit CLabelDialog(QWidget* parent = nullptr);
  QString label() const;
  QLineEdit* edit() const { return edit_; }

 private:
  QLineEdit* edit_;
};

// Resource 133: 24 check boxes, ids 1002-1009 and 1012-1027, in three
// columns, each showing the name of registered object k and ticked when it
// is shown.
class CVisibilityDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kBoxes = 24;
  CVisibilityDialog(const std::vector<QString>& names, const std::vector<bool>& shown,
                    QWidget* parent = nullptr);
  // The control id of box K (0-based): 1002..1009, then 1012..1027.
  static int boxId(int k) { return k < 8 ? 1002 + k : 1012 + (k - 8); }
  QCheckBox* box(int k) const { return boxes_[static_cast<size_t>(k)]; }
  // True when the last box (1027) carries a tick.
  bool lastBoxTicked() const;

 private:
  std::array<QCheckBox*, kBoxes> boxes_{};
};

// Resource 134: "Search".
class CSearchDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CSearchDialog(QWidget* parent = nullptr);
  QString text() const;
  QLineEdit* edit() const { return edit_; }

 private:
  QLineEdit* edit_;
};
