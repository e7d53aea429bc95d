// The program's help window: the pages compiled into the program under :/help, a list of them
// beside the page, back and forward, and a find-in-page field. One window serves the whole
// program; while a modal dialog runs it sits above that dialog so that it can be used.
#pragma once

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTextBrowser;
class QUrl;

class THelpWindow : public QWidget {
  Q_OBJECT
 public:
  // The one help window, made on first use.
  static THelpWindow* Instance();
  // The window when it exists, else null.
  static THelpWindow* Existing();

  // Shows the window at Url (qrc:/help/<page>.md) and raises it.
  void ShowPage(const QString& Url);
  // The page shown, e.g. "qrc:/help/timers.md".
  QString CurrentPage() const;
  QTextBrowser* Browser() const { return fBrowser; }

  // Finds Text in the page from the cursor on, from the top again when not found below; false
  // when the page does not hold it.
  bool FindInPage(const QString& Text);

 private:
  explicit THelpWindow(QWidget* Parent = nullptr);
  void SyncContents(const QUrl& Url);
  void FollowModal();

  QTextBrowser* fBrowser;
  QListWidget* fContents;
  QLineEdit* fFind;
};
