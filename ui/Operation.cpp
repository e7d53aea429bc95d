#include "Operation.h"

TPbxOperations& TPbxOperations::Instance() {
  static TPbxOperations operations;
  return operations;
}

void TPbxOperations::Begin(const QString& What) {
  if (fDepth++ == 0) {
    fWhat = What;
    emit ActiveChanged(true);
  }
}

void TPbxOperations::End() {
  if (fDepth == 0) return;
  if (--fDepth == 0) {
    fWhat.clear();
    emit ActiveChanged(false);
  }
}

QString BusyMessage() {
  const QString what = TPbxOperations::Instance().Current();
  return QString("%1 is in progress: wait until it has ended.")
      .arg(what.isEmpty() ? QString("A PBX operation") : what);
}
