// One PBX operation at a time. The session runs one command at a time, but while it waits for
// the PBX the windows stay alive, and a second run, a dialog's read or a Disconnect started from
// there would meet the first one's exchange half-way. Every operation that talks to the PBX
// (connect, the read and upload run, a dump, a dialog's read and upload) holds a
// TPbxOperation for its length; the frame disables what would start another one, and the
// views refuse to open a dialog meanwhile.
#pragma once

#include <QObject>
#include <QString>

class TPbxOperations : public QObject {
  Q_OBJECT
 public:
  static TPbxOperations& Instance();
  bool Active() const { return fDepth > 0; }
  // What is in progress ("Reading from the PBX"), for the messages that refuse another one.
  const QString& Current() const { return fWhat; }

 signals:
  // The first operation began, or the last one ended.
  void ActiveChanged(bool Active);

 private:
  friend class TPbxOperation;
  void Begin(const QString& What);
  void End();
  int fDepth = 0;
  QString fWhat;
};

// Held for the length of one operation; nests (a dialog's read inside the dialog).
class TPbxOperation {
 public:
  explicit TPbxOperation(const QString& What) { TPbxOperations::Instance().Begin(What); }
  ~TPbxOperation() { TPbxOperations::Instance().End(); }
  TPbxOperation(const TPbxOperation&) = delete;
  TPbxOperation& operator=(const TPbxOperation&) = delete;
};

// The text a refused action shows in the status bar.
QString BusyMessage();
