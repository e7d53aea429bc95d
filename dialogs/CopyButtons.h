// "Copy buttons" of the extension dialog: the CO and PF button lists of one extension copied
// to others.
#pragma once

#include <QDialog>

#include "ExtData.h"
#include "IntList.h"

class QCheckBox;
class QComboBox;
class QPlainTextEdit;

// "Copy buttons": copies the CO and / or PF button lists of one extension to others in the
// given table. OK checks that the source and every destination hold actual data; otherwise it
// tells which one does not and stays open.
class TCopyBtnDlg : public QDialog {
  Q_OBJECT
 public:
  TCopyBtnDlg(int SrcJack, TExtensionArray& Table, QWidget* Parent = nullptr);

  // The jacks the buttons were copied to (after OK).
  const TIntegerList& Destinations() const { return fDest; }
  bool CopyCO() const;
  bool CopyPF() const;
  int Source() const;

  void accept() override;

 private:
  TExtensionArray& fTable;
  TIntegerList fDest;
  QComboBox* fSrc;
  QPlainTextEdit* fDestMemo;
  QCheckBox *fCopyCO, *fCopyPF;
};

// After Jack took another's settings and was renumbered: whatever came out as it was Before
// (its blocks and button lines) keeps its changed flag and read time.
void KeepUnchangedJack(TExtensionData& Jack, const TExtensionData& Before);

// Rebuilds Dest's button lists as renumbered copies of Src's; a line that comes out as it was
// keeps its flags.
void CopyButtonLists(TExtensionArray& Table, int Src, int Dest, bool CO, bool PF);

